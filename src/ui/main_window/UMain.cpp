#include "ui/main_window/UMain.h"

#include "discovery/datagram.h"
#include "discovery/device_summary.h"
#include "discovery/local_addresses.h"
#include "discovery/scan.h"
#include "discovery/udp_client.h"
#include "quorvel_resources.h"
#include "ui/platform/application_look.h"
#include "ui/main_window/clickable_picture.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/device_list/device_page.h"
#include "ui/main_window/error_texts.h"
#include "ui/main_window/panel.h"
#include "ui/main_window/scroll_content.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int TitleHeight = 40;
constexpr int TitlePixelSize = 30;
constexpr int PanelHeight = 112;
constexpr int PictureBandMargin = 4;   // the panel's strips above and below the picture
constexpr int OuterMargin = 16;        // around the panel and the list
constexpr QPoint Button1Position{16, 152};

}  // namespace

TfmMain::TfmMain(TErrorBoxPresenter presentError, TListenerSystem& listenerSystem)
    : presentError_(std::move(presentError)), listenerSystem_(listenerSystem)
{
    InitQuorvelResources();
    setWindowTitle(QStringLiteral("Quorvel"));
    // The caption and a close button only, with a sizing frame, on an
    // ordinary application window: a tool window would be raised and focused
    // by no window manager at start and would get no taskbar button on
    // Windows, so a covered window could not be found again.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setMinimumSize(MinimumClientSize);
    resize(DesignedClientSize);
    // The design's colours are fixed, whatever palette the desktop brings.
    setPalette(LightPalette());

    CreateControls();
    setWindowIcon(QIcon(QPixmap::fromImage(ReadPictureResource(QStringLiteral(":/icon.pixels")))));
    CreateNonVisualComponents();
    // The whole design is applied: only now does the listener bind its port.
    IdUDPServer1->Activate();
}

// Controls first (the list and its entries), then the non-visual components
// in the reverse of their creation order. Destroying the listener waits for
// its threads and carries out their last hand-overs; ListBox1 is null by
// then, so those replies are dropped.
TfmMain::~TfmMain()
{
    Layout1.reset();
    IdUDPClient1.reset();
    IdUDPServer1.reset();
}

void TfmMain::CreateControls()
{
    Layout1 = std::make_unique<QWidget>(this);
    auto* windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->addWidget(Layout1.get());

    ScrollBox1 = new QScrollArea(Layout1.get());
    auto* layout1Layout = new QVBoxLayout(Layout1.get());
    layout1Layout->setContentsMargins(0, 0, 0, 0);
    layout1Layout->addWidget(ScrollBox1);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->viewport()->setAutoFillBackground(false);

    ScrollBox1Content = new TScrollContent(GlowEffect1, ScrollBox1);
    auto* contentLayout = new QVBoxLayout(ScrollBox1Content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    CreateTitle(*ScrollBox1Content, *contentLayout);
    // Below the title: the panel and the list, 16 apart and 16 from the edges.
    auto* framed = new QVBoxLayout;
    framed->setContentsMargins(OuterMargin, OuterMargin, OuterMargin, OuterMargin);
    framed->setSpacing(OuterMargin);
    contentLayout->addLayout(framed);
    CreateRefreshPanel(*ScrollBox1Content, *framed);
    CreateDeviceList(*ScrollBox1Content, *framed);

    Button1 = new QPushButton(QStringLiteral("Button1"), ScrollBox1Content);
    Button1->move(Button1Position);
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, &TfmMain::Button1Click);

    ScrollBox1->setWidget(ScrollBox1Content);
    // setWidget gives the content a background; the gradient must show through.
    ScrollBox1Content->setAutoFillBackground(false);
}

void TfmMain::CreateTitle(TScrollContent& content, QVBoxLayout& layout)
{
    Label1 = new QLabel(QStringLiteral("Znajdź mojego QuorVela"), &content);
    Label1->setTextFormat(Qt::PlainText);
    QFont font = Label1->font();
    font.setPixelSize(TitlePixelSize);
    Label1->setFont(font);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label1->setFixedHeight(TitleHeight);
    // A one-line label is never narrower than its text, which would make a
    // narrow window scroll sideways; this one follows the width and is cut
    // off at both ends instead.
    Label1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    layout.addWidget(Label1);
}

void TfmMain::CreateRefreshPanel(TScrollContent& content, QVBoxLayout& layout)
{
    Panel1 = new TPanel(&content);
    Panel1->setFixedHeight(PanelHeight);
    layout.addWidget(Panel1);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, PictureBandMargin, 0, PictureBandMargin);

    // The band is 104 high: the picture's sizes for screens of ratio 1 and 2,
    // and the large one for any finer screen.
    Image1 = new TClickablePicture({{104, QStringLiteral(":/refresh-104.pixels")},
                                    {208, QStringLiteral(":/refresh-208.pixels")},
                                    {512, QStringLiteral(":/refresh.png")}},
                                   WrapEffect1, Panel1);
    Image1->setAccessibleName(QStringLiteral("Odśwież listę urządzeń"));
    panelLayout->addWidget(Image1);
    connect(Image1, &TClickablePicture::clicked, this, &TfmMain::Image1Click);
    content.AddShadow(*Panel1, ShadowEffect2);
}

void TfmMain::CreateDeviceList(TScrollContent& content, QVBoxLayout& layout)
{
    ListBox1 = new TDeviceList(&content);
    layout.addWidget(ListBox1, 1);  // takes every change of height
    content.AddShadow(*ListBox1, ShadowEffect1);

    auto* copy = new QShortcut(QKeySequence::Copy, ListBox1, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &TfmMain::CopySelectedEntry);
    connect(ListBox1, &TDeviceList::doubleClicked, this, &TfmMain::OpenDevicePage);
}

void TfmMain::CreateNonVisualComponents()
{
    IdUDPServer1 = std::make_unique<TUdpServer>(qtHandOver_.HandOver(), "IdUDPServer1", listenerSystem_);
    IdUDPServer1->DefaultPort = DiscoveryPort;
    IdUDPServer1->OnUDPRead = std::bind_front(&TfmMain::IdUDPServer1UDPRead, this);
    IdUDPServer1->OnUDPHandOverDone = std::bind_front(&TfmMain::IdUDPServer1HandOverDone, this);

    IdUDPClient1 = std::make_unique<TIdUDPClient>();
    IdUDPClient1->SetBroadcastEnabled(true);
    IdUDPClient1->SetBoundPort(DiscoveryPort);
    IdUDPClient1->SetPort(0);
}

void TfmMain::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Fill.Paint(painter, size(), devicePixelRatioF());
}

void TfmMain::Image1Click()
{
    ReportErrorsOf([this] {
        ListBox1->Clear();
        // The list has room again: replies are handed over from now on.
        IdUDPServer1->SetDiscarding(false);
        BroadcastDiscovery();
    });
}

void TfmMain::Button1Click()
{
    TDeviceSummary sample;
    sample.nr_ip = "192.168.0.177";
    ListBox1->AddDeviceEntry(sample);
}

void TfmMain::BroadcastDiscovery()
{
    RunDiscoveryScan(*IdUDPClient1);
}

void TfmMain::IdUDPServer1UDPRead(TUdpListenerThread&, std::span<const std::uint8_t> AData, TUdpBinding& ABinding)
{
    // During shutdown the list is gone before the listener: drop the reply.
    // A full list takes no more until the next scan empties it.
    if (!ListBox1 || ListBox1->Entries().IsFull())
        return;
    // The cheapest test first: what a busy port brings is mostly no reply at
    // all, and the acceptance test drops it without a look at the address
    // list. Either order drops the same datagrams.
    if (!IsDiscoveryReply(AData))
        return;
    // The listener hears this machine's own broadcasts too. The list is
    // read at the first reply of a hand-over: every datagram of it had
    // arrived by then, so the list is as current for them as it can be.
    if (!ownAddressesNow_)
        ownAddressesNow_ = &ownAddresses_.Current();
    if (IsListedAddress(*ownAddressesNow_, ABinding.PeerIP))
        return;
    if (!DecodeDeviceReply(AData, decoded_))
        return;
    // The entries of one hand-over become rows together, when it is done.
    ListBox1->HoldAppends();
    ListBox1->AddDeviceEntry(decoded_, ABinding.PeerIP, *ownAddressesNow_);
}

void TfmMain::IdUDPServer1HandOverDone()
{
    ownAddressesNow_ = nullptr;
    if (!ListBox1)
        return;
    ListBox1->ReleaseAppends();
    // Replies that could only be dropped are dropped on the receiving
    // threads until a click empties the list, sparing this thread a flood.
    if (ListBox1->Entries().IsFull())
        IdUDPServer1->SetDiscarding(true);
}

void TfmMain::ReportErrorsOf(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {  // the event loop's duty: show it, then go on
        presentError_(HandlerErrorBox(error));
    }
}

void TfmMain::CopySelectedEntry()
{
    const QModelIndex selected = ListBox1->currentIndex();
    if (!ListBox1->selectionModel()->isSelected(selected))
        return;
    // What the entry shows: control characters as their marks, never raw.
    QApplication::clipboard()->setText(ListBox1->Entries().ShownLines(selected.row()));
}

void TfmMain::OpenDevicePage(const QModelIndex& entry)
{
    const std::optional<TDeviceFacts> device = TDeviceListModel::FactsOf(entry);
    if (!device)
        return;  // the sample entry: no device behind it
    const std::optional<QUrl> page = DevicePageUrl(*device);
    // This machine's addresses may have changed since the reply came: a
    // page at one of them now would be this machine's, not the device's.
    if (page && !IsOwnAddress(device->reportedIp))
        QDesktopServices::openUrl(*page);
}

bool TfmMain::IsOwnAddress(const QString& address)
{
    try {
        return IsListedAddress(ownAddresses_.Current(), address.toStdString());
    } catch (const std::exception&) {  // the list cannot be read: no address is safe to open
        return true;
    }
}
