#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/device_list/entry_template.h"

#include "quorvel_resources.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace {

using CustomItem::Element;

const QStringList SampleLines{QStringLiteral("192.168.0.177"), QStringLiteral("Text"), QStringLiteral("Text"),
                              QStringLiteral("Text"), QStringLiteral("Text"), QStringLiteral("Text")};

TDeviceSummary SampleSummary()
{
    TDeviceSummary summary;
    summary.nr_ip = "192.168.0.177";
    return summary;
}

TDeviceSummary FullSummary(const std::string& ip)
{
    return {ip, "Wersja=1.23.4  HW02_R01  07", "Hala A,  Numer=00012345",
            "DHCP w\u0142\u0105czone,  HTTP w\u0142\u0105czone,  ", "Port HTTP=80,  PortTCP=8080",
            "Maska=255.255.255.0,  MAC=00-1A-2B-3C-4D-5E"};
}

// A shown list whose viewport has the designed size 347 x 276, whatever
// frame the toolkit's look draws around it.
std::unique_ptr<TDeviceList> DesignedList()
{
    auto list = std::make_unique<TDeviceList>();
    list->resize(351, 280);
    list->show();
    if (!QTest::qWaitForWindowExposed(list.get()))
        return nullptr;
    const QSize frame = list->size() - list->viewport()->size();
    list->resize(QSize(347, 276) + frame);
    QCoreApplication::processEvents();
    return list;
}

QImage Grab(TDeviceList& list)
{
    QCoreApplication::processEvents();  // let the delayed item layout run
    return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool IsInk(const QImage& image, int x, int y)
{
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    const QRgb pixel = image.pixel(x, y);
    return qAbs(qRed(pixel) - qRed(background)) + qAbs(qGreen(pixel) - qGreen(background))
               + qAbs(qBlue(pixel) - qBlue(background)) > 60;
}

// The leftmost and rightmost columns with ink inside `area`; (-1, -1) if none.
std::pair<int, int> InkColumns(const QImage& image, QRect area)
{
    area &= image.rect();
    int left = -1, right = -1;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (IsInk(image, x, y)) {
                if (left < 0)
                    left = x;
                right = x;
                break;
            }
        }
    }
    return {left, right};
}

// The band of an element in the first entry, run on to the viewport's right edge.
QRect FirstEntryBand(const TDeviceList& list, Element element)
{
    QRect band = LayOutEntry(list.viewport()->width()).elements[element];
    band.setRight(list.viewport()->width() - 1);
    return band;
}

QFont TemplateFont(Element element)
{
    QFont font;
    font.setPixelSize(CustomItem::Elements[element].fontPixelSize);
    font.setBold(CustomItem::Elements[element].bold);
    return font;
}

QPoint CentreOfEntry(const TDeviceList& list, int row, QPoint offset)
{
    return list.visualRect(list.Entries().index(row)).topLeft() + offset;
}

int SelectedRow(const TDeviceList& list)
{
    const QModelIndexList selected = list.selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

}  // namespace

class TestDeviceList : public QObject {
    Q_OBJECT
private slots:
    void templateGivesItsDesignedPositions();
    void entryLayout_data();
    void entryLayout();

    void sampleEntryKeepsDefaultText();
    void presentEmptyFieldBlanksItsLine();
    void namedValuesMatchWithoutCase();
    void equalEntriesStayInArrivalOrder();
    void thirdEntryBringsScrollBarAndNarrowsEntries();
    void appendingKeepsScrollAndSelection();
    void entriesBelowTheViewportJoinTheScrollRange();
    void scrollingMovesAnEntryOrAViewport_data();
    void scrollingMovesAnEntryOrAViewport();
    void clickSelectsExceptOnDevicePicture();
    void arrowKeysMoveSelection();
    void clearEmptiesAndSelectsNothing();
    void fullListTakesNoMoreUntilCleared();

    void textIsDrawnLiterally_data();
    void textIsDrawnLiterally();
    void longLineRunsToViewportEdge();
    void devicePictureDrawnWhereLayoutSays();
    void picturesAreBuiltIn();
    void entriesExposeTheirLinesToAccessibility();
};

void TestDeviceList::templateGivesItsDesignedPositions()
{
    const TElementRects rects = LayOutBands(CustomItem::DesignedRootSize, TVisibility::AsDesigned);
    for (std::size_t i = 0; i < CustomItem::ElementCount; ++i)
        QCOMPARE(rects[i], CustomItem::Elements[i].designed);
}

void TestDeviceList::entryLayout_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("without scroll bar") << 347;
    QTest::newRow("with scroll bar") << 331;
}

void TestDeviceList::entryLayout()
{
    QFETCH(int, width);
    const TEntryLayout layout = LayOutEntry(width);
    QVERIFY(layout.elements[CustomItem::Icon].isEmpty());
    QCOMPARE(layout.elements[CustomItem::Image], QRect(3, 3, 34, 122));
    QCOMPARE(layout.devicePicture, QRect(3, 47, 34, 34));
    const std::pair<Element, QRect> textBands[] = {
        {CustomItem::NrIp, {53, 3, width - 56, 17}},   {CustomItem::Info1, {53, 24, width - 56, 17}},
        {CustomItem::Info2, {53, 41, width - 56, 20}}, {CustomItem::Info3, {53, 61, width - 56, 20}},
        {CustomItem::Info4, {53, 81, width - 56, 20}}, {CustomItem::Info5, {53, 101, width - 56, 20}},
    };
    for (const auto& [element, band] : textBands)
        QCOMPARE(layout.elements[element], band);
}

void TestDeviceList::sampleEntryKeepsDefaultText()
{
    TDeviceList list;
    list.AddDeviceEntry(SampleSummary());
    QCOMPARE(list.Entries().rowCount(), 1);
    QCOMPARE(list.Entries().DisplayedLines(0), SampleLines);
}

void TestDeviceList::presentEmptyFieldBlanksItsLine()
{
    auto list = DesignedList();
    QVERIFY(list);
    TDeviceSummary summary = SampleSummary();
    summary.info1 = "";
    list->AddDeviceEntry(summary);
    QCOMPARE(list->Entries().DisplayedLines(0)[1], QString());
    QCOMPARE(list->Entries().DisplayedLines(0)[2], QStringLiteral("Text"));

    const QImage image = Grab(*list);
    QCOMPARE(InkColumns(image, FirstEntryBand(*list, CustomItem::Info1)).first, -1);
    QVERIFY(InkColumns(image, FirstEntryBand(*list, CustomItem::Info2)).first >= 0);
}

void TestDeviceList::namedValuesMatchWithoutCase()
{
    TStyleData values;
    values.Set(QStringLiteral("INFO2"), QStringLiteral("replaced"));
    values.Set(QStringLiteral("Info2"), QStringLiteral("upper-case name"));
    values.Set(QStringLiteral("Nr_Ip"), QStringLiteral("10.0.0.1"));
    values.Set(QStringLiteral("colour"), QStringLiteral("kept, shown nowhere"));
    TDeviceListModel entries;
    entries.AppendEntry(values);

    QStringList expected = SampleLines;
    expected[0] = QStringLiteral("10.0.0.1");
    expected[2] = QStringLiteral("upper-case name");
    QCOMPARE(entries.DisplayedLines(0), expected);
    QCOMPARE(entries.NamedValue(0, QStringLiteral("COLOUR")), QStringLiteral("kept, shown nowhere"));
    QCOMPARE(entries.NamedValue(0, QStringLiteral("info3")), std::nullopt);
}

void TestDeviceList::equalEntriesStayInArrivalOrder()
{
    TDeviceList list;
    QSignalSpy resets(&list.Entries(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&list.Entries(), &QAbstractItemModel::rowsInserted);
    list.AddDeviceEntry(FullSummary("10.0.0.7"));
    list.AddDeviceEntry(FullSummary("10.0.0.7"));
    list.AddDeviceEntry(FullSummary("10.0.0.9"));
    QCOMPARE(list.Entries().rowCount(), 3);
    QCOMPARE(list.Entries().DisplayedLines(0), list.Entries().DisplayedLines(1));
    QCOMPARE(list.Entries().DisplayedLines(2)[0], QStringLiteral("10.0.0.9"));
    QCOMPARE(list.Entries().DisplayedLines(0)[3], QStringLiteral("DHCP włączone,  HTTP włączone,  "));
    QCOMPARE(resets.count(), 0);
    QCOMPARE(inserts.count(), 3);
    QCOMPARE(inserts.last().at(1).toInt(), 2);
}

void TestDeviceList::thirdEntryBringsScrollBarAndNarrowsEntries()
{
    auto list = DesignedList();
    QVERIFY(list);
    const int fullWidth = list->viewport()->width();
    list->AddDeviceEntry(FullSummary("10.0.0.1"));
    list->AddDeviceEntry(FullSummary("10.0.0.2"));
    QCoreApplication::processEvents();
    QVERIFY(!list->verticalScrollBar()->isVisible());
    QCOMPARE(list->visualRect(list->Entries().index(1)), QRect(0, 128, fullWidth, 128));

    list->AddDeviceEntry(FullSummary("10.0.0.3"));
    QCoreApplication::processEvents();
    QVERIFY(list->verticalScrollBar()->isVisible());
    const int narrowWidth = list->viewport()->width();
    QCOMPARE(narrowWidth, fullWidth - list->verticalScrollBar()->width());
    for (int row = 0; row < 3; ++row)
        QCOMPARE(list->visualRect(list->Entries().index(row)), QRect(0, 128 * row, narrowWidth, 128));
    QCOMPARE(list->verticalScrollBar()->maximum(), 3 * 128 - list->viewport()->height());
}

void TestDeviceList::appendingKeepsScrollAndSelection()
{
    auto list = DesignedList();
    QVERIFY(list);
    for (const char* ip : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
        list->AddDeviceEntry(FullSummary(ip));
    QCoreApplication::processEvents();
    list->verticalScrollBar()->setValue(50);
    list->selectionModel()->select(list->Entries().index(1), QItemSelectionModel::ClearAndSelect);

    list->AddDeviceEntry(FullSummary("10.0.0.4"));
    QCoreApplication::processEvents();
    QCOMPARE(list->verticalScrollBar()->value(), 50);
    QCOMPARE(SelectedRow(*list), 1);
    QCOMPARE(list->Entries().DisplayedLines(3)[0], QStringLiteral("10.0.0.4"));
}

// Entries appended below the viewport are laid out together a moment later;
// then they are reachable like any other: scroll range, place, click.
void TestDeviceList::entriesBelowTheViewportJoinTheScrollRange()
{
    auto list = DesignedList();
    QVERIFY(list);
    for (int i = 0; i < 12; ++i)
        list->AddDeviceEntry(FullSummary("10.0.0." + std::to_string(i)));
    QCOMPARE(list->Entries().rowCount(), 12);
    QScrollBar* bar = list->verticalScrollBar();
    QTRY_COMPARE(bar->maximum(), 12 * 128 - list->viewport()->height());

    bar->setValue(bar->maximum());
    const QRect last = list->visualRect(list->Entries().index(11));
    QCOMPARE(last, QRect(0, list->viewport()->height() - 128, list->viewport()->width(), 128));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, last.topLeft() + QPoint(200, 30));
    QCOMPARE(SelectedRow(*list), 11);
}

void TestDeviceList::scrollingMovesAnEntryOrAViewport_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("notches");  // wheel only
    QTest::addColumn<int>("moved");    // 0: one viewport
    QTest::newRow("wheel notch down") << "wheel" << -1 << 128;
    QTest::newRow("wheel notch up") << "wheel" << 1 << -128;
    QTest::newRow("two notches") << "wheel" << -2 << 256;
    QTest::newRow("scroll bar arrow down") << "arrow down" << 0 << 128;
    QTest::newRow("scroll bar arrow up") << "arrow up" << 0 << -128;
    QTest::newRow("page down") << "page down" << 0 << 0;
}

// From the middle of twenty entries, so that nothing stops at an end.
void TestDeviceList::scrollingMovesAnEntryOrAViewport()
{
    QFETCH(QString, input);
    QFETCH(int, notches);
    QFETCH(int, moved);
    auto list = DesignedList();
    QVERIFY(list);
    for (int i = 0; i < 20; ++i)
        list->AddDeviceEntry(FullSummary("10.0.0." + std::to_string(i)));
    QCoreApplication::processEvents();
    QScrollBar* bar = list->verticalScrollBar();
    bar->setValue(10 * 128);
    const int start = bar->value();
    const int viewport = list->viewport()->height();

    if (input == u"wheel") {
        // A notch at a time, as a wheel sends them.
        for (int notch = 0; notch < qAbs(notches); ++notch) {
            const QPointF at = QRectF(list->viewport()->rect()).center();
            QWheelEvent wheel(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, notches > 0 ? 120 : -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(list->viewport(), &wheel);
        }
    } else if (input == u"page down") {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    } else {
        bar->triggerAction(input == u"arrow down" ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderSingleStepSub);
    }
    QCOMPARE(bar->value() - start, moved == 0 ? viewport : moved);
}

void TestDeviceList::clickSelectsExceptOnDevicePicture()
{
    auto list = DesignedList();
    QVERIFY(list);
    list->AddDeviceEntry(FullSummary("10.0.0.1"));
    list->AddDeviceEntry(FullSummary("10.0.0.2"));
    QCoreApplication::processEvents();
    QWidget* viewport = list->viewport();
    QSignalSpy clicks(list.get(), &QAbstractItemView::clicked);

    const QPoint pictureCentre = LayOutEntry(viewport->width()).devicePicture.center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, CentreOfEntry(*list, 1, pictureCentre));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, CentreOfEntry(*list, 1, {20, 8}));  // picture band, above the ball
    QCOMPARE(SelectedRow(*list), -1);
    QCOMPARE(clicks.count(), 0);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, CentreOfEntry(*list, 1, {45, 64}));  // the gap beside the picture
    QCOMPARE(SelectedRow(*list), 1);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, CentreOfEntry(*list, 0, {200, 30}));
    QCOMPARE(SelectedRow(*list), 0);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, CentreOfEntry(*list, 1, pictureCentre));
    QCOMPARE(SelectedRow(*list), 0);
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), 1);
}

void TestDeviceList::arrowKeysMoveSelection()
{
    auto list = DesignedList();
    QVERIFY(list);
    for (const char* ip : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
        list->AddDeviceEntry(FullSummary(ip));
    QCoreApplication::processEvents();
    list->setFocus();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CentreOfEntry(*list, 0, {200, 30}));
    QTest::keyClick(list.get(), Qt::Key_Down);
    QCOMPARE(SelectedRow(*list), 1);
    QTest::keyClick(list.get(), Qt::Key_Down);
    QCOMPARE(SelectedRow(*list), 2);
    QTest::keyClick(list.get(), Qt::Key_Up);
    QCOMPARE(SelectedRow(*list), 1);
}

void TestDeviceList::clearEmptiesAndSelectsNothing()
{
    auto list = DesignedList();
    QVERIFY(list);
    QSignalSpy removals(&list->Entries(), &QAbstractItemModel::rowsRemoved);
    list->Clear();
    QCOMPARE(removals.count(), 0);

    for (const char* ip : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
        list->AddDeviceEntry(FullSummary(ip));
    QCoreApplication::processEvents();
    list->selectionModel()->select(list->Entries().index(2), QItemSelectionModel::ClearAndSelect);
    list->verticalScrollBar()->setValue(100);

    list->Clear();
    QCoreApplication::processEvents();
    QCOMPARE(list->Entries().rowCount(), 0);
    QCOMPARE(SelectedRow(*list), -1);
    QVERIFY(!list->verticalScrollBar()->isVisible());

    list->AddDeviceEntry(SampleSummary());
    QCoreApplication::processEvents();
    QCOMPARE(list->Entries().rowCount(), 1);
    QCOMPARE(list->visualRect(list->Entries().index(0)).top(), 0);
    QCOMPARE(SelectedRow(*list), -1);
}

// The bound holds whichever way an entry comes, the sample's way included:
// the entry that fills the list is kept, the next ones are not, and a
// cleared list takes entries again.
void TestDeviceList::fullListTakesNoMoreUntilCleared()
{
    TDeviceList list;
    list.HoldAppends();  // one insertion for the lot, as a burst of replies makes
    for (std::size_t i = 1; i < TDeviceListModel::MaxEntries; ++i)
        list.AddDeviceEntry(FullSummary("10.0.0.1"));
    list.AddDeviceEntry(FullSummary("10.0.0.2"));
    list.AddDeviceEntry(FullSummary("10.0.0.3"));
    list.ReleaseAppends();
    list.AddDeviceEntry(SampleSummary());
    const int bound = int(TDeviceListModel::MaxEntries);
    QCOMPARE(list.Entries().rowCount(), bound);
    QVERIFY(list.Entries().IsFull());
    QCOMPARE(list.Entries().DisplayedLines(bound - 1)[0], QStringLiteral("10.0.0.2"));

    list.Clear();
    QVERIFY(!list.Entries().IsFull());
    list.AddDeviceEntry(FullSummary("10.0.0.4"));
    QCOMPARE(list.Entries().rowCount(), 1);
    QCOMPARE(list.Entries().DisplayedLines(0)[0], QStringLiteral("10.0.0.4"));
}

void TestDeviceList::textIsDrawnLiterally_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("drawn");
    QTest::addColumn<int>("frames");  // a control character's mark is framed: a few pixels more
    QTest::newRow("bold markup") << QByteArray("<b>x</b>") << QStringLiteral("<b>x</b>") << 0;
    QTest::newRow("image markup") << QByteArray("<img src=\":/icon.png\">") << QStringLiteral("<img src=\":/icon.png\">") << 0;
    QTest::newRow("entity and mnemonic") << QByteArray("&amp;&x") << QStringLiteral("&amp;&x") << 0;
    QTest::newRow("NUL inside") << QByteArray("AB\0CDEF", 7) << QStringLiteral("AB^@CDEF") << 1;
    QTest::newRow("line break inside") << QByteArray("AB\nCDEF") << QStringLiteral("AB^JCDEF") << 1;
}

void TestDeviceList::textIsDrawnLiterally()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, drawn);
    QFETCH(int, frames);
    auto list = DesignedList();
    QVERIFY(list);
    TDeviceSummary summary = SampleSummary();
    summary.info2 = name.toStdString();
    list->AddDeviceEntry(summary);
    // The entry keeps the text as it came, NUL included.
    QCOMPARE(list->Entries().DisplayedLines(0)[2], QString::fromUtf8(name));

    const auto [left, right] = InkColumns(Grab(*list), FirstEntryBand(*list, CustomItem::Info2));
    const int advance = QFontMetrics(TemplateFont(CustomItem::Info2)).horizontalAdvance(drawn);
    QVERIFY2(left >= 53 && left <= 55, qPrintable(QStringLiteral("ink starts at %1").arg(left)));
    const int end = right + 1 - 53;
    QVERIFY2(end >= advance - 3 && end <= advance + 8 * frames + 3,
             qPrintable(QStringLiteral("ink ends at %1, the literal text at %2").arg(right + 1).arg(53 + advance)));
}

void TestDeviceList::longLineRunsToViewportEdge()
{
    auto list = DesignedList();
    QVERIFY(list);
    TDeviceSummary summary = SampleSummary();
    summary.info5 = std::string(200, 'W');
    list->AddDeviceEntry(summary);
    const int viewportRight = list->viewport()->width() - 1;
    // An ellipsis or a clip at the text column would leave the last 3 columns empty.
    QCOMPARE(InkColumns(Grab(*list), FirstEntryBand(*list, CustomItem::Info5)).second, viewportRight);
    QCOMPARE(list->horizontalScrollBar()->isVisible(), false);
}

void TestDeviceList::devicePictureDrawnWhereLayoutSays()
{
    auto list = DesignedList();
    QVERIFY(list);
    list->AddDeviceEntry(FullSummary("10.0.0.1"));
    const QImage image = Grab(*list);
    const QRect picture = LayOutEntry(list->viewport()->width()).devicePicture;

    // Opaque blue over the whole picture, with the gloss at its upper left.
    for (const QPoint& p : {picture.topLeft(), picture.bottomRight(), picture.center()}) {
        const QColor colour = image.pixelColor(p);
        QVERIFY2(colour.blue() > colour.red() + 60, qPrintable(colour.name()));
    }
    const QColor top = image.pixelColor(picture.center().x(), picture.top());
    const QColor bottom = image.pixelColor(picture.center().x(), picture.bottom());
    QVERIFY(top.lightness() < bottom.lightness());
    const QColor gloss = image.pixelColor(picture.topLeft() + QPoint(11, 11));
    QVERIFY2(gloss.lightness() > 170, qPrintable(gloss.name()));

    // Above and below the picture, and between it and the text column (where
    // `icon` would take room if it were not hidden), nothing is drawn.
    QCOMPARE(InkColumns(image, QRect(3, 3, 34, 44)).first, -1);
    QCOMPARE(InkColumns(image, QRect(3, 81, 34, 44)).first, -1);
    QCOMPARE(InkColumns(image, QRect(37, 0, 16, 128)).first, -1);
    const int nrIpInk = InkColumns(image, FirstEntryBand(*list, CustomItem::NrIp)).first;
    QVERIFY2(nrIpInk >= 53 && nrIpInk <= 55, qPrintable(QString::number(nrIpInk)));
}

void TestDeviceList::picturesAreBuiltIn()
{
    InitQuorvelResources();
    const QImage device(QStringLiteral(":/device.png"));
    const QImage icon(QStringLiteral(":/icon.png"));
    QCOMPARE(device.size(), QSize(16, 16));
    QCOMPARE(icon.size(), QSize(32, 32));
    for (const QImage& picture : {device, icon}) {
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                QCOMPARE(qAlpha(picture.pixel(x, y)), 255);
    }
    // The brightest spot of the device picture is its gloss near (5, 5).
    const QColor gloss = device.pixelColor(5, 5);
    QVERIFY2(gloss.lightness() > 200 && gloss.blue() >= gloss.red(), qPrintable(gloss.name()));
}

void TestDeviceList::entriesExposeTheirLinesToAccessibility()
{
    auto list = DesignedList();
    QVERIFY(list);
    TDeviceSummary summary = FullSummary("10.0.0.1");
    summary.info1 = std::string("v\0x", 3);
    list->AddDeviceEntry(summary);
    list->AddDeviceEntry(SampleSummary());
    QCoreApplication::processEvents();

    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list.get());
    QVERIFY(view);
    QStringList texts;
    for (int i = 0; i < view->childCount(); ++i)
        texts.append(view->child(i)->text(QAccessible::Name));
    QStringList first = list->Entries().DisplayedLines(0);
    first[1] = QStringLiteral("v^@x");
    QVERIFY2(texts.contains(first.join(QLatin1Char('\n'))), qPrintable(texts.join(QLatin1String(" | "))));
    QVERIFY(texts.contains(SampleLines.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestDeviceList)
#include "tst_device_list.moc"
