#pragma once

#include "discovery/device_summary.h"
#include "discovery/local_address_watch.h"
#include "discovery/udp_server.h"
#include "ui/effects/glow_effect.h"
#include "ui/effects/gradient_fill.h"
#include "ui/effects/shadow_effect.h"
#include "ui/effects/warp_effect.h"
#include "ui/main_window/error_box.h"
#include "ui/main_window/qt_hand_over.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class QLabel;
class QModelIndex;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class TClickablePicture;
class TDeviceList;
class TIdUDPClient;
class TPanel;
class TScrollContent;

// The main window fmMain: the title, the refresh picture that starts a scan
// and the device list, with the reply listener and the request sender. The
// components keep their design names and are made in design order; the
// listener becomes active at the end of construction, before the window is
// shown, and construction fails (throws) when it cannot bind its port.
class TfmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize DesignedClientSize{383, 480};
    // The smallest client area: the list still shows one whole entry (184
    // above the list, its frame of 2, the 128-high entry, 2, and 16 below)
    // and, with its scroll bar, the widest IP line of an entry; the title is
    // cut off at both ends below about 364.
    static constexpr QSize MinimumClientSize{250, 332};

    // `presentError` shows an error that leaves a click handler;
    // `listenerSystem` gives the listener its sockets and threads.
    explicit TfmMain(TErrorBoxPresenter presentError = ShowModalErrorBox,
                     TListenerSystem& listenerSystem = DefaultListenerSystem());
    ~TfmMain() override;

    void Image1Click();
    void Button1Click();
    void BroadcastDiscovery();
    void IdUDPServer1UDPRead(TUdpListenerThread& AThread, std::span<const std::uint8_t> AData,
                             TUdpBinding& ABinding);
    // After the handler has run for every datagram of one hand-over.
    void IdUDPServer1HandOverDone();

private:
    // Carries replies from the listener's threads to this thread; declared
    // before IdUDPServer1 so that it outlives the listener.
    TQtHandOver qtHandOver_;
    TErrorBoxPresenter presentError_;
    // The machine's own addresses for the reply handler, current at every use.
    TLocalAddressWatch ownAddresses_;
    const std::vector<std::string>* ownAddressesNow_ = nullptr;  // during a hand-over, once read
    // The reply being handled, decoded into the same strings every time.
    TDecodedReply decoded_;
    TListenerSystem& listenerSystem_;

public:
    // The non-visual components, in design order.
    std::unique_ptr<TUdpServer> IdUDPServer1;
    std::unique_ptr<TIdUDPClient> IdUDPClient1;

    TGradientFill Fill;
    // The warp keeps its component's design name, WrapEffect1.
    TWarpEffect WrapEffect1;
    TShadowEffect ShadowEffect2;
    TShadowEffect ShadowEffect1;
    TGlowEffect GlowEffect1;

    // The controls, owned through Layout1 (as Qt parent and children); they
    // go first when the window is destroyed.
    std::unique_ptr<QWidget> Layout1;
    QScrollArea* ScrollBox1 = nullptr;
    TScrollContent* ScrollBox1Content = nullptr;
    QLabel* Label1 = nullptr;
    TPanel* Panel1 = nullptr;
    TClickablePicture* Image1 = nullptr;
    QPointer<TDeviceList> ListBox1;  // null once the controls are gone
    QPushButton* Button1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateControls();
    void CreateTitle(TScrollContent& content, QVBoxLayout& layout);
    void CreateRefreshPanel(TScrollContent& content, QVBoxLayout& layout);
    void CreateDeviceList(TScrollContent& content, QVBoxLayout& layout);
    void CreateNonVisualComponents();
    void CopySelectedEntry();
    void OpenDevicePage(const QModelIndex& entry);
    bool IsOwnAddress(const QString& address);
    // Stands in for the event loop's catch-all, which Qt does not have: an
    // error leaving a click handler is shown and the application goes on.
    void ReportErrorsOf(const std::function<void()>& handler);
};
