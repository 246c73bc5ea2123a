// The window as it looks: its effects, its colours on a dark desktop, the
// selected entry, control characters and a high-density screen, each judged
// by the pixels of the rendered window. The window binds UDP port 7080, so
// the test runs in a network namespace of its own.
#include "netns_lab.h"
#include "ui/main_window/UMain.h"
#include "ui/platform/application_look.h"
#include "ui/main_window/clickable_picture.h"
#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/device_list/entry_template.h"
#include "ui/main_window/panel.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLibraryInfo>
#include <QPainter>
#include <QProcess>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QStandardPaths>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

namespace {

// Given to a copy of this program: render the sample window and save it to
// the file that follows, then end. The copy runs with another scale factor.
constexpr auto RenderOption = "--render-sample-window";
// What the copy prints before the colour its platform theme gave its windows.
constexpr auto PlatformColourLabel = "platform window colour ";

TDeviceSummary DeviceSummary(const std::string& ip, const std::string& name)
{
    return {ip, "Wersja=1.23.4  HW02_R01  07", name + ",  Numer=00012345",
            "DHCP w\u0142\u0105czone,  HTTP w\u0142\u0105czone,  ", "Port HTTP=80,  PortTCP=8080",
            "Maska=255.255.255.0,  MAC=00-1A-2B-3C-4D-5E"};
}

// The window at its designed size, shown (at `at`, when given), with
// `entries` devices listed.
std::unique_ptr<TfmMain> ShownWindow(int entries = 0, std::optional<QPoint> at = std::nullopt)
{
    auto window = std::make_unique<TfmMain>();
    for (int i = 0; i < entries; ++i)
        window->ListBox1->AddDeviceEntry(DeviceSummary("10.77.0." + std::to_string(i + 2), "Hala " + std::to_string(i + 1)));
    if (at)
        window->move(*at);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    QCoreApplication::processEvents();  // the list lays out its entries late
    return window;
}

QImage Render(QWidget& widget)
{
    QCoreApplication::processEvents();
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The sample that copies of this program render: two entries, the first
// selected; with `move`, shown at its first point, drawn, and then moved to
// its second (onto another screen).
QImage RenderSampleWindow(std::optional<std::pair<QPoint, QPoint>> move = std::nullopt)
{
    auto window = ShownWindow(2, move ? std::optional(move->first) : std::nullopt);
    if (!window)
        return {};
    window->ListBox1->setCurrentIndex(window->ListBox1->Entries().index(0));
    if (move) {
        Render(*window);
        window->move(move->second);
    }
    return Render(*window);
}

// The sample window as a copy of this program renders it with `changes` to
// the environment; `platformWindowColour` receives the window colour that the
// copy's platform theme gave it. A null image if the copy failed.
QImage RenderInCopy(const QHash<QString, QString>& changes, QString* platformWindowColour = nullptr,
                    const QStringList& moves = {})
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("window.png"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto change = changes.begin(); change != changes.end(); ++change)
        environment.insert(change.key(), change.value());
    QProcess copy;
    copy.setProcessEnvironment(environment);
    copy.setProcessChannelMode(QProcess::MergedChannels);
    copy.start(QCoreApplication::applicationFilePath(), QStringList{QString::fromLatin1(RenderOption), file} + moves);
    if (!copy.waitForFinished(60000) || copy.exitStatus() != QProcess::NormalExit || copy.exitCode() != 0) {
        qWarning("the copy failed: %s", copy.readAll().constData());
        return {};
    }
    const QString output = QString::fromLocal8Bit(copy.readAll());
    const qsizetype colour = output.indexOf(QLatin1String(PlatformColourLabel));
    if (platformWindowColour && colour >= 0)
        *platformWindowColour = output.mid(colour + qstrlen(PlatformColourLabel), 7);
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

QRect InWindow(const QWidget& widget, const TfmMain& window)
{
    return QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size());
}

// Mean of one channel over a rectangle of the image.
double Mean(const QImage& image, const QRect& area, const std::function<int(QRgb)>& channel)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += channel(image.pixel(x, y));
    return sum / (area.width() * area.height());
}

double MeanGrey(const QImage& image, const QRect& area)
{
    return Mean(image, area, [](QRgb p) { return qGray(p); });
}

// How much bluer than red an area is on average.
double MeanBlueOverRed(const QImage& image, const QRect& area)
{
    return Mean(image, area, [](QRgb p) { return qBlue(p) - qRed(p); });
}

// The 4-pixel bands just outside each edge of `r`, kept clear of its corners.
struct TBands {
    QRect left, top, right, bottom;
};
TBands OutsideBands(const QRect& r)
{
    return {QRect(r.left() - 4, r.top() + 8, 4, r.height() - 16), QRect(r.left() + 8, r.top() - 4, r.width() - 16, 4),
            QRect(r.right() + 1, r.top() + 8, 4, r.height() - 16), QRect(r.left() + 8, r.bottom() + 1, r.width() - 16, 4)};
}

// Contrast of two colours as the web accessibility guidelines define it.
double Luminance(QRgb colour)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) + 0.0722 * linear(qBlue(colour));
}
double Contrast(QRgb a, QRgb b)
{
    const double first = Luminance(a), second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// How many pixels an edge takes, on average, to go from background to ink
// along the rows of `area`: the mean length of runs of pixels that are
// neither. Enlarging a picture drawn at a lower density widens every run.
double MeanEdgeWidth(const QImage& image, const QRect& area)
{
    int between = 0, runs = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool inRun = false;
        for (int x = area.left(); x <= area.right(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            const bool isBetween = grey > 40 && grey < 200;
            between += isBetween;
            runs += isBetween && !inRun;
            inRun = isBetween;
        }
    }
    return runs == 0 ? 0 : double(between) / runs;
}

// The largest change of lightness between neighbouring pixels of a row.
int SteepestStep(const QImage& image, const QRect& area)
{
    int steepest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left() + 1; x <= area.right(); ++x)
            steepest = std::max(steepest, qAbs(qGray(image.pixel(x, y)) - qGray(image.pixel(x - 1, y))));
    return steepest;
}

// A template line's font, as the list draws it in the application's font.
QFont LineFont(CustomItem::Element element)
{
    QFont font;
    font.setPixelSize(CustomItem::Elements[element].fontPixelSize);
    font.setBold(CustomItem::Elements[element].bold);
    return font;
}

// The widest of the texts `make` gives for `from` to `to`.
QString Widest(const QFont& font, int from, int to, const std::function<QString(int)>& make)
{
    const QFontMetrics metrics(font);
    QString widest;
    int widestAdvance = -1;
    for (int i = from; i <= to; ++i) {
        const QString text = make(i);
        if (const int advance = metrics.horizontalAdvance(text); advance > widestAdvance) {
            widest = text;
            widestAdvance = advance;
        }
    }
    return widest;
}

QString Decimal(int number)
{
    return QString::number(number);
}

// Four of the widest byte in dotted decimal.
QString WidestAddress(const QFont& font)
{
    const QString octet = Widest(font, 0, 255, Decimal);
    return QStringList{octet, octet, octet, octet}.join(u'.');
}

}  // namespace

class TestWindowLook : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void shadowsFallToTheLowerRight();
    void glowSurroundsPanelAndList();
    void gradientRunsFromTopToBottom_data();
    void gradientRunsFromTopToBottom();
    void warpOnlyWhilePointerIsOver();

    void darkDesktopPaletteChangesNothing();
    void darkGtkThemeChangesNothing();
    void selectedEntryStaysReadable();
    void controlCharactersAreDrawnApart_data();
    void controlCharactersAreDrawnApart();
    void copyTakesTheTextAsShown();

    void highDensityScreenIsSharp();

    void movedBetweenScreensIsSharp_data();
    void movedBetweenScreensIsSharp();

    void widestLinesFitTheColumn_data();
    void widestLinesFitTheColumn();

private:
    std::optional<TNetnsLab> lab_;
};

void TestWindowLook::initTestCase()
{
    QUORVEL_REQUIRE_NETWORK_LAB();
    lab_.emplace();
}

void TestWindowLook::shadowsFallToTheLowerRight()
{
    auto window = ShownWindow(1);
    QVERIFY(window);
    const QImage with = Render(*window);
    window->ShadowEffect1.Enabled = false;
    window->ShadowEffect2.Enabled = false;
    const QImage without = Render(*window);

    for (QWidget* caster : {static_cast<QWidget*>(window->Panel1), static_cast<QWidget*>(window->ListBox1.data())}) {
        const TBands bands = OutsideBands(InWindow(*caster, *window));
        const auto darkening = [&](const QRect& band) { return MeanGrey(without, band) - MeanGrey(with, band); };
        const double lowerRight = std::min(darkening(bands.right), darkening(bands.bottom));
        const double upperLeft = std::max(darkening(bands.left), darkening(bands.top));
        const QString figures = QStringLiteral("%1: darkened by %2 at the lower right, %3 at the upper left")
                                    .arg(caster->metaObject()->className()).arg(lowerRight).arg(upperLeft);
        QVERIFY2(lowerRight > 25, qPrintable(figures));
        QVERIFY2(upperLeft < lowerRight / 5, qPrintable(figures));
        // Black takes the same share of every channel: no tint.
        const QPoint inside = bands.right.center();
        const QRgb dark = with.pixel(inside), light = without.pixel(inside);
        const double redShare = double(qRed(dark)) / qRed(light), blueShare = double(qBlue(dark)) / qBlue(light);
        QVERIFY2(qAbs(redShare - blueShare) < 0.05, qPrintable(QStringLiteral("%1 vs %2").arg(redShare).arg(blueShare)));
    }
}

void TestWindowLook::glowSurroundsPanelAndList()
{
    auto window = ShownWindow(1);
    QVERIFY(window);
    window->ShadowEffect1.Enabled = false;
    window->ShadowEffect2.Enabled = false;
    const QImage with = Render(*window);
    window->GlowEffect1.Enabled = false;
    const QImage without = Render(*window);

    for (QWidget* glowing : {static_cast<QWidget*>(window->Panel1), static_cast<QWidget*>(window->ListBox1.data())}) {
        const TBands bands = OutsideBands(InWindow(*glowing, *window));
        for (const QRect& band : {bands.left, bands.top, bands.right, bands.bottom}) {
            const double bluer = MeanBlueOverRed(with, band) - MeanBlueOverRed(without, band);
            QVERIFY2(bluer > 40, qPrintable(QStringLiteral("%1: %2").arg(glowing->metaObject()->className()).arg(bluer)));
        }
    }
    // Without the glow the window's gradient is all there is beside them.
    const QRect panel = InWindow(*window->Panel1, *window);
    QCOMPARE(MeanBlueOverRed(without, OutsideBands(panel).left), 0.0);
}

void TestWindowLook::gradientRunsFromTopToBottom_data()
{
    QTest::addColumn<QSize>("client");
    QTest::newRow("designed") << TfmMain::DesignedClientSize;
    QTest::newRow("taller") << QSize(383, 760);
}

void TestWindowLook::gradientRunsFromTopToBottom()
{
    QFETCH(QSize, client);
    auto window = ShownWindow();
    QVERIFY(window);
    window->resize(client);
    window->GlowEffect1.Enabled = false;
    window->ShadowEffect1.Enabled = false;
    window->ShadowEffect2.Enabled = false;
    const QImage image = Render(*window);
    QCOMPARE(image.size(), client);

    // Down the left margin, where nothing but the window's fill is drawn.
    const int x = 4;
    QCOMPARE(image.pixel(x, 0), qRgb(0xFF, 0xFF, 0xFF));
    QVERIFY(qAbs(qGray(image.pixel(x, client.height() - 1)) - 0xB6) <= 1);
    for (int y = 1; y < client.height(); ++y) {
        const QRgb above = image.pixel(x, y - 1), here = image.pixel(x, y);
        QVERIFY2(qGray(here) <= qGray(above), qPrintable(QStringLiteral("lighter again at y %1: %2 %3").arg(y).arg(QColor(above).name(), QColor(here).name())));
        QCOMPARE(qRed(here), qBlue(here));  // grey all the way
    }
}

void TestWindowLook::warpOnlyWhilePointerIsOver()
{
    auto window = ShownWindow();
    QVERIFY(window);
    QTest::mouseMove(window.get(), QPoint(191, 470));  // below the list's last pixel row
    const QImage before = Render(*window);
    const QRect picture = InWindow(*window->Image1, *window);

    QTest::mouseMove(window.get(), picture.center());
    QTRY_VERIFY(window->Image1->IsMouseOver());
    const QImage over = Render(*window);
    QVERIFY(over.copy(picture) != before.copy(picture));
    // Nothing but the picture changes: blank it in both and compare the rest.
    const auto withoutPicture = [&picture](QImage image) {
        QPainter(&image).fillRect(picture, Qt::black);
        return image;
    };
    QCOMPARE(withoutPicture(over), withoutPicture(before));

    QTest::mouseMove(window.get(), QPoint(191, 470));
    QTRY_VERIFY(!window->Image1->IsMouseOver());
    QCOMPARE(Render(*window), before);
}

void TestWindowLook::darkDesktopPaletteChangesNothing()
{
    const QImage asDesigned = [] {
        auto window = ShownWindow(3);
        window->ListBox1->setCurrentIndex(window->ListBox1->Entries().index(1));
        return Render(*window);
    }();

    // A dark desktop's colours, as a platform theme hands them to the application.
    QPalette dark(QColor(0xEE, 0xEE, 0xEE), QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::Text, QColor(0xF0, 0xF0, 0xF0));
    dark.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9E));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
    QCOMPARE(QWidget().palette().color(QPalette::Base), QColor(0x1E, 0x1E, 0x1E));  // it is in force

    auto window = ShownWindow(3);
    QVERIFY(window);
    window->ListBox1->setCurrentIndex(window->ListBox1->Entries().index(1));
    const QImage onDarkDesktop = Render(*window);
    QCOMPARE(onDarkDesktop, asDesigned);

    // And that is the design's look: black title, white list.
    const QRect title = InWindow(*window->Label1, *window);
    int darkest = 255;
    for (int y = title.top(); y <= title.bottom(); ++y)
        for (int x = title.left(); x <= title.right(); ++x)
            darkest = std::min(darkest, qGray(onDarkDesktop.pixel(x, y)));
    QVERIFY2(darkest < 30, qPrintable(QString::number(darkest)));
    const QWidget* viewport = window->ListBox1->viewport();
    const QPoint blankOfList = viewport->mapTo(window.get(), QPoint(viewport->width() - 30, 4));
    QCOMPARE(onDarkDesktop.pixel(blankOfList), qRgb(0xFF, 0xFF, 0xFF));
}

// The real thing: Qt's GTK platform theme under an X server, with GNOME's
// Adwaita theme in its light and its dark variant.
void TestWindowLook::darkGtkThemeChangesNothing()
{
    const QString theme = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platformthemes/libqgtk3.so");
    const QString missing = !QFileInfo::exists(theme) ? QStringLiteral("Qt's GTK platform theme is not installed")
                            : QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ? QStringLiteral("Xvfb is not installed")
                                                                                                 : QString();
    if (!missing.isEmpty())
        QUORVEL_NOT_RUN(missing.toStdString());
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
                                        QStringLiteral("tcp")});
    QVERIFY(xvfb.waitForReadyRead(20000));
    const QString display = QStringLiteral(":") + QString::fromLatin1(xvfb.readLine().trimmed());
    const auto stopXvfb = qScopeGuard([&] {
        xvfb.terminate();
        xvfb.waitForFinished();
    });
    QTemporaryDir runtime;  // GTK wants a private runtime folder
    const auto underTheme = [&](const QString& gtkTheme, QString* platformColour) {
        return RenderInCopy({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")},
                             {QStringLiteral("DISPLAY"), display},
                             {QStringLiteral("XDG_RUNTIME_DIR"), runtime.path()},
                             {QStringLiteral("QT_QPA_PLATFORMTHEME"), QStringLiteral("gtk3")},
                             {QStringLiteral("GTK_THEME"), gtkTheme}},
                            platformColour);
    };
    QString lightColour, darkColour;
    const QImage light = underTheme(QStringLiteral("Adwaita"), &lightColour);
    const QImage dark = underTheme(QStringLiteral("Adwaita:dark"), &darkColour);
    QVERIFY(!light.isNull() && !dark.isNull());
    // The themes did reach the copies: one dark, one light.
    QVERIFY2(QColor(darkColour).lightness() < 100 && QColor(lightColour).lightness() > 200,
             qPrintable(darkColour + QLatin1Char(' ') + lightColour));
    QCOMPARE(dark, light);
}

void TestWindowLook::selectedEntryStaysReadable()
{
    auto window = ShownWindow(1);
    QVERIFY(window);
    window->ListBox1->setCurrentIndex(window->ListBox1->Entries().index(0));
    QCoreApplication::processEvents();
    QWidget* viewport = window->ListBox1->viewport();
    const QImage image = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const TEntryLayout layout = LayOutEntry(viewport->width());

    // Right of the text, inside the entry: nothing but the highlight.
    const QRgb highlight = image.pixel(viewport->width() - 6, 64);
    QVERIFY2(Luminance(highlight) > 0.7, qPrintable(QColor(highlight).name()));
    QVERIFY2(qBlue(highlight) > qRed(highlight) + 20, qPrintable(QColor(highlight).name()));  // a visible one

    for (CustomItem::Element element : CustomItem::TextElements) {
        // The band's middle rows: the line's own letters, none of its neighbours'.
        const QRect whole = layout.elements[element] & image.rect();
        const QRect band(whole.left(), whole.center().y() - 3, whole.width(), 7);
        double strongest = 1;
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = band.left(); x <= band.right(); ++x)
                strongest = std::max(strongest, Contrast(image.pixel(x, y), highlight));
        const QRgb designed = CustomItem::Elements[element].colour;
        // 3:1 for every line but the deliberately faint khaki one, which
        // keeps at least what it has on white.
        const double onWhite = Contrast(designed, qRgb(0xFF, 0xFF, 0xFF));
        const double wanted = onWhite < 1.5 ? onWhite : 3.0;
        QVERIFY2(strongest >= wanted, qPrintable(QStringLiteral("%1: %2 on the highlight, %3 wanted")
                                                     .arg(CustomItem::Elements[element].name).arg(strongest).arg(wanted)));
    }
}

void TestWindowLook::controlCharactersAreDrawnApart_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("NUL and tab") << QByteArray("A\0B", 3) << QByteArray("A\tB");
    QTest::newRow("NUL and line feed") << QByteArray("A\0B", 3) << QByteArray("A\nB");
    QTest::newRow("tab and line feed") << QByteArray("A\tB") << QByteArray("A\nB");
    QTest::newRow("two C1 controls") << QByteArray("A\xC2\x85" "B") << QByteArray("A\xC2\x9B" "B");
    QTest::newRow("C1 and replacement character") << QByteArray("A\xC2\x85" "B") << QByteArray("A\xEF\xBF\xBD" "B");
    QTest::newRow("NUL and a written caret") << QByteArray("A\0B", 3) << QByteArray("A^@B");
}

void TestWindowLook::controlCharactersAreDrawnApart()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    auto window = ShownWindow();
    QVERIFY(window);
    for (const QByteArray& name : {first, second}) {
        TDeviceSummary summary = DeviceSummary("10.77.0.2", "x");
        summary.info2 = name.toStdString();
        window->ListBox1->AddDeviceEntry(summary);
    }
    QCoreApplication::processEvents();
    QWidget* viewport = window->ListBox1->viewport();
    const QImage image = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect band = LayOutEntry(viewport->width()).elements[CustomItem::Info2];
    QVERIFY(image.copy(band) != image.copy(band.translated(0, ItemHeight)));
}

void TestWindowLook::copyTakesTheTextAsShown()
{
    auto window = ShownWindow();
    QVERIFY(window);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    TDeviceSummary summary = DeviceSummary("10.77.0.2", "x");
    summary.info1 = std::string("A\0B\tC\nD\x7F" "E\xC2\x85" "F", 12);
    window->ListBox1->AddDeviceEntry(summary);
    window->ListBox1->setFocus();
    window->ListBox1->setCurrentIndex(window->ListBox1->Entries().index(0));
    QTest::keyClick(window->ListBox1, Qt::Key_C, Qt::ControlModifier);

    const QStringList copied = QApplication::clipboard()->text().split(u'\n');
    QCOMPARE(copied.size(), 6);
    QCOMPARE(copied[1], QStringLiteral("A^@B^IC^JD^?E<85>F"));
    QCOMPARE(copied[2], QString::fromStdString(*summary.info2));
}

void TestWindowLook::highDensityScreenIsSharp()
{
    const QImage single = RenderSampleWindow();
    QVERIFY(!single.isNull());

    // The same window from a copy of this program on a screen of twice the density.
    const QImage doubled = RenderInCopy({{QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2")}});
    QVERIFY(!doubled.isNull());

    // Twice the size, and every part where it was, twice as far: the panel's
    // frame and fill, the list, the glow left of the panel, the shadows right
    // of the panel and below it, the gradient at the bottom.
    QCOMPARE(doubled.size(), single.size() * 2);
    const QPoint parts[] = {{16, 100}, {100, 56}, {366, 100}, {40, 80}, {300, 190},
                            {8, 100}, {369, 120}, {200, 170}, {4, 476}};
    for (const QPoint& p : parts) {
        for (const QPoint& d : {QPoint(0, 0), QPoint(1, 1)})
            QVERIFY2(qAbs(qGray(doubled.pixel(2 * p + d)) - qGray(single.pixel(p))) <= 12,
                     qPrintable(QStringLiteral("at (%1, %2)").arg(p.x()).arg(p.y())));
    }

    // Edges as sharp in device pixels as at ratio 1: a picture or a text
    // drawn at ratio 1 and enlarged would have edges twice as wide.
    const QRect picture(16 + 100, 56 + 4 + 52 - 3, 151, 7);  // across the arcs' upright middle parts
    const QRect address(53 + 16 + 2, 184 + 2 + 3 + 8 - 1, 120, 3);  // across the first entry's bold IP
    for (const QRect& area : {picture, address}) {
        const double atOne = MeanEdgeWidth(single, area);
        const double atTwo = MeanEdgeWidth(doubled, QRect(area.topLeft() * 2, area.size() * 2));
        const QString figures = QStringLiteral("edges %1 px wide at ratio 2, %2 px at ratio 1").arg(atTwo).arg(atOne);
        QVERIFY2(atOne > 0 && atTwo < atOne * 1.3, qPrintable(figures));
    }
    // The device picture, ball on square, has no hard edge: a picture drawn
    // for ratio 1 and enlarged would have its steepest steps halved.
    const QRect devicePicture(16 + 2 + 3, 184 + 2 + 56, 16, 16);
    const int steepAtOne = SteepestStep(single, devicePicture);
    const int steepAtTwo = SteepestStep(doubled, QRect(devicePicture.topLeft() * 2, devicePicture.size() * 2));
    QVERIFY2(steepAtTwo * 4 >= steepAtOne * 3,
             qPrintable(QStringLiteral("steepest step %1 at ratio 2, %2 at ratio 1").arg(steepAtTwo).arg(steepAtOne)));
}

// The lines whose width a device cannot make arbitrary, at their widest in
// the application's font (for every number and hex digit, the widest one).
void TestWindowLook::widestLinesFitTheColumn_data()
{
    QTest::addColumn<int>("element");
    QTest::addColumn<QString>("line");
    using namespace CustomItem;
    QTest::newRow("address") << int(NrIp) << WidestAddress(LineFont(NrIp));
    const QFont font = LineFont(Info5);
    const QString state = Widest(font, 0, 3, [](int flags) {
        return QString::fromUtf8(flags & 1 ? "DHCP włączone,  " : "DHCP wyłączone,  ")
            + QString::fromUtf8(flags & 2 ? "HTTP włączone,  " : "HTTP wyłączone,  ");
    });
    QTest::newRow("DHCP and HTTP") << int(Info3) << state;
    const QString port = Widest(font, 0, 65535, Decimal);
    QTest::newRow("ports") << int(Info4) << QStringLiteral("Port HTTP=%1,  PortTCP=%1").arg(port);
    const QString pair = Widest(font, 0, 255, [](int byte) { return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper(); });
    const QString mac = QStringList{pair, pair, pair, pair, pair, pair}.join(u'-');
    QTest::newRow("mask and MAC") << int(Info5) << QStringLiteral("Maska=%1,  MAC=%2").arg(WidestAddress(font), mac);
}

// At the designed size, with one entry (no scroll bar), the line's last
// character is drawn whole inside the 291-pixel text column: its ink ends
// there in a window wide enough for any line, and the designed window draws
// the same pixels up to that point.
void TestWindowLook::widestLinesFitTheColumn()
{
    QFETCH(int, element);
    QFETCH(QString, line);
    // The other lines are absent, so they show the template's short "Text".
    TDeviceSummary summary;
    summary.*ShownField(CustomItem::Element(element)) = line.toStdString();

    auto window = std::make_unique<TfmMain>();
    window->ListBox1->AddDeviceEntry(summary);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QWidget* viewport = window->ListBox1->viewport();
    const QRect band = LayOutEntry(viewport->width()).elements[std::size_t(element)];
    // The designed column: the designed 347-pixel viewport less the picture's
    // bands and the padding (this look's thinner frame leaves it 2 wider).
    constexpr int Column = 291;
    QVERIFY(band.width() >= Column);
    const QImage designed = Render(*viewport);

    window->resize(window->width() + 300, window->height());
    const QImage wide = Render(*viewport);
    const QRgb background = wide.pixel(wide.width() - 4, band.center().y());
    const auto isInk = [&](QRgb pixel) {
        return qAbs(qRed(pixel) - qRed(background)) + qAbs(qGreen(pixel) - qGreen(background))
            + qAbs(qBlue(pixel) - qBlue(background)) > 12;
    };
    int inkEnd = band.left() - 1;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x < wide.width() - 4; ++x)
            if (isInk(wide.pixel(x, y)))
                inkEnd = std::max(inkEnd, x);
    QVERIFY2(inkEnd > band.left() && inkEnd < band.left() + Column,
             qPrintable(QStringLiteral("'%1' ends %2 px into the %3-px column")
                            .arg(line).arg(inkEnd - band.left() + 1).arg(Column)));
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= inkEnd; ++x)
            QVERIFY2(designed.pixel(x, y) == wide.pixel(x, y), qPrintable(QStringLiteral("at (%1, %2)").arg(x).arg(y)));
}

// Two screens side by side, of scale 1 (left) and 2 (right), as a laptop
// with an external monitor: the window shown on one and moved to the other
// draws its glow, shadows and pictures exactly as on a single screen of the
// scale it is on at the end: made again for that scale, neither enlarged nor
// reduced. (Texts are left out: with screens of several scales the toolkit
// hints every text less, wherever it is.)
void TestWindowLook::movedBetweenScreensIsSharp_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("scale");  // at the end
    QTest::newRow("scale 1 to 2") << QStringLiteral("100,100") << QStringLiteral("900,20") << 2;
    QTest::newRow("scale 2 to 1") << QStringLiteral("900,20") << QStringLiteral("100,100") << 1;
}

void TestWindowLook::movedBetweenScreensIsSharp()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, scale);
    QTemporaryDir folder;
    QFile screens(folder.filePath(QStringLiteral("screens.json")));
    QVERIFY(screens.open(QIODevice::WriteOnly));
    screens.write(R"({"screens": [
        {"name": "left", "x": 0, "y": 0, "width": 800, "height": 800, "logicalDpi": 96},
        {"name": "right", "x": 800, "y": 0, "width": 1200, "height": 1200, "logicalDpi": 96}]})");
    screens.close();
    const QHash<QString, QString> twoScreens{
        {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + screens.fileName()},
        {QStringLiteral("QT_SCREEN_SCALE_FACTORS"), QStringLiteral("left=1;right=2")}};
    const QImage moved = RenderInCopy(twoScreens, nullptr, {from, to});
    const QImage single = RenderInCopy({{QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale)}});
    QVERIFY(!moved.isNull() && !single.isNull());
    QCOMPARE(moved.size(), single.size());
    QCOMPARE(moved.width(), 383 * scale);

    // Logical rectangles: the glow and shadows beside the panel and the
    // list, the refresh picture, the two entries' device pictures.
    const QRect panel(16, 56, 351, 112), list(16, 184, 351, 280);
    std::vector<QRect> parts{QRect(16 + 100, 56 + 4, 151, 104), QRect(16 + 2 + 3, 184 + 2 + 56, 16, 16),
                             QRect(16 + 2 + 3, 184 + 2 + 128 + 56, 16, 16)};
    for (const QRect& caster : {panel, list}) {
        const TBands bands = OutsideBands(caster);
        parts.insert(parts.end(), {bands.left, bands.right, bands.bottom});
    }
    for (const QRect& part : parts) {
        const QRect device(part.topLeft() * scale, part.size() * scale);
        int differing = 0;
        for (int y = device.top(); y <= device.bottom(); ++y)
            for (int x = device.left(); x <= device.right(); ++x)
                differing += qAbs(qGray(moved.pixel(x, y)) - qGray(single.pixel(x, y))) > 4;
        QVERIFY2(differing == 0, qPrintable(QStringLiteral("%1 pixels differ in (%2, %3, %4 x %5)")
                                                .arg(differing).arg(part.x()).arg(part.y()).arg(part.width()).arg(part.height())));
    }
}

// With RenderOption this program renders the sample window to a file and
// ends; otherwise it runs the tests.
int main(int argc, char** argv)
{
    IsolateNetwork();  // before any thread exists
    QApplication application(argc, argv);
    if ((argc == 3 || argc == 5) && qstrcmp(argv[1], RenderOption) == 0) {
        std::printf("%s%s\n", PlatformColourLabel, qPrintable(QApplication::palette().color(QPalette::Window).name()));
        ApplyApplicationLook();
        // Two more arguments: where the window is shown and where it is moved, "X,Y" each.
        const auto point = [](const char* text) {
            const QStringList xy = QString::fromLatin1(text).split(u',');
            return QPoint(xy.value(0).toInt(), xy.value(1).toInt());
        };
        const QImage image = argc == 5 ? RenderSampleWindow(std::pair(point(argv[3]), point(argv[4])))
                                       : RenderSampleWindow();
        return !image.isNull() && image.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    ApplyApplicationLook();
    TestWindowLook test;
    return TestExitStatus(QTest::qExec(&test, argc, argv));
}

#include "tst_window_look.moc"
