#pragma once

#include <QLatin1String>
#include <QMargins>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>

#include <array>
#include <cstddef>
#include <vector>

// The entry template CustomItem, held as data: its elements with their bands,
// designed geometry and look, and the band rules that place them in an entry.

enum class TElementKind { Picture, Text };
enum class TBand { Leftmost, Top };

struct TTemplateElement {
    QLatin1String name;
    TElementKind kind;
    TBand band;
    QRect designed;          // inside the designed 291 x 164 root
    QMargins margins;        // kept free on each side of the element
    int fontPixelSize;       // text elements only
    bool bold;
    QRgb colour;             // text colour, ARGB
    bool takesPointerInput;
    bool shownInEntry;       // `icon` is hidden in every entry (entries have no picture of their own)
};

namespace CustomItem {

inline constexpr QSize DesignedRootSize{291, 164};
inline constexpr QMargins Padding{3, 3, 3, 3};
inline constexpr QLatin1String DefaultText{"Text"};
inline constexpr QRgb DefaultTextColour = 0xFF000000;
inline constexpr QSize DevicePictureSize{16, 16};

// Indexes into Elements, in template order.
enum Element : std::size_t { Icon, NrIp, Info1, Info2, Image, Info3, Info4, Info5, ElementCount };

inline constexpr std::array<TTemplateElement, ElementCount> Elements{{
    {QLatin1String("icon"), TElementKind::Picture, TBand::Leftmost, {53, 3, 76, 158}, {0, 0, 3, 0}, 0, false, 0, false, false},
    {QLatin1String("nr_ip"), TElementKind::Text, TBand::Top, {132, 3, 156, 17}, {0, 0, 0, 4}, 16, true, DefaultTextColour, false, true},
    {QLatin1String("info1"), TElementKind::Text, TBand::Top, {132, 24, 156, 17}, {}, 12, false, 0xFF656565, false, true},
    {QLatin1String("info2"), TElementKind::Text, TBand::Top, {132, 41, 156, 20}, {}, 12, false, 0xFF00BFFF, false, true},
    {QLatin1String("image"), TElementKind::Picture, TBand::Leftmost, {3, 3, 34, 158}, {0, 0, 16, 0}, 0, false, 0, true, true},
    {QLatin1String("info3"), TElementKind::Text, TBand::Top, {132, 61, 156, 20}, {}, 12, false, 0xFFFF8C00, false, true},
    {QLatin1String("info4"), TElementKind::Text, TBand::Top, {132, 81, 156, 20}, {}, 12, false, 0xFF008B8B, false, true},
    {QLatin1String("info5"), TElementKind::Text, TBand::Top, {132, 101, 156, 20}, {}, 12, false, 0xFFF0E68C, false, true},
}};

// The six text elements in the order an entry shows (and sets) them.
inline constexpr std::array<Element, 6> TextElements{NrIp, Info1, Info2, Info3, Info4, Info5};

}  // namespace CustomItem

// Where each element lies inside a root of the given size. AsDesigned shows
// every element (and gives back the designed positions at 291 x 164); InEntry
// hides `icon` as every entry does. A hidden element gets an empty rectangle
// and takes no room.
enum class TVisibility { AsDesigned, InEntry };
using TElementRects = std::array<QRect, CustomItem::ElementCount>;
TElementRects LayOutBands(QSize rootSize, TVisibility visibility);

// The geometry of one list entry of the given width (ItemHeight high),
// relative to the entry's top-left corner.
struct TEntryLayout {
    TElementRects elements;
    QRect devicePicture;  // the picture scaled to fit `image` and centred in it
};
inline constexpr int ItemHeight = 128;
TEntryLayout LayOutEntry(int width);

// A text as a text element draws it. A control character would cut or hide
// the rest of a line, and most fonts draw them all alike, so each becomes a
// short mark of its own: C0 controls and DEL in caret notation (NUL "^@",
// tab "^I", line feed "^J", DEL "^?"), C1 controls as their code in hex
// ("<85>"). A line is plain runs of text and marks in their order; the list
// draws marks framed so that they stand apart from the same characters in
// plain text. ShownText is the line as one text, for copying and reading out.
struct TShownPiece {
    QString text;
    bool isMark;
};
std::vector<TShownPiece> ShownPieces(const QString& text);
QString ShownText(const QString& text);
