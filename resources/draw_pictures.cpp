// Redraws the device picture (16 x 16, and 32 x 32 for screens of twice the
// density) and the application icon (32 x 32): the same glossy blue ball on a
// blue square. The PNGs are committed next to this file; run it only to
// change the artwork (and then unpack_pictures for icon.png):
//     draw_pictures <folder>   (writes device.png, device@2x.png and icon.png into <folder>)
// The build also draws the desktop's icon theme sizes with it, since the
// artwork is drawn as shapes and scales to any size:
//     draw_pictures --icons <folder> <size>...
//                              (writes <folder>/<size>x<size>/apps/quorvel.png)
// and the Windows program's icon file, every size in one .ico:
//     draw_pictures --ico <file> <size>...
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTextStream>

namespace {

constexpr qreal DesignSize = 16;  // the artwork is drawn in a 16 x 16 coordinate system

void DrawSquare(QPainter& painter)
{
    QLinearGradient shade(0, 0, 0, DesignSize);
    shade.setColorAt(0, QColor(0xFF004D73));
    shade.setColorAt(1, QColor(0xFF0077B4));
    painter.fillRect(QRectF(0, 0, DesignSize, DesignSize), shade);
}

void DrawBall(QPainter& painter)
{
    const QRectF ball(1, 1, DesignSize - 2, DesignSize - 2);
    QLinearGradient body(0, ball.top(), 0, ball.bottom());
    body.setColorAt(0, QColor(0xFF1667A0));
    body.setColorAt(1, QColor(0xFF2A96D6));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawEllipse(ball);

    // The gloss: a soft whitish spot at the upper left that fades into the ball.
    QRadialGradient gloss(QPointF(5.5, 5.5), 5.0);
    gloss.setColorAt(0, QColor(0xFFD7E5EC));
    gloss.setColorAt(0.35, QColor(0xB0A8CDE2));
    gloss.setColorAt(1, QColor(0x002A96D6));
    painter.setBrush(gloss);
    painter.drawEllipse(ball);
}

QImage DrawPicture(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / DesignSize, size / DesignSize);
    DrawSquare(painter);
    DrawBall(painter);
    return image;
}

// The sizes asked for on the command line; empty when one is not a number
// from 16 to 256 (the largest an .ico entry can describe).
QList<int> IconSizes(int argc, char* argv[])
{
    QList<int> sizes;
    for (int i = 3; i < argc; ++i) {
        bool isNumber = false;
        const int size = QByteArray(argv[i]).toInt(&isNumber);
        if (!isNumber || size < 16 || size > 256)
            return {};
        sizes << size;
    }
    return sizes;
}

bool SaveIcons(const QString& folder, const QList<int>& sizes)
{
    for (const int size : sizes) {
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(apps) || !DrawPicture(size).save(apps + QStringLiteral("/quorvel.png")))
            return false;
    }
    return true;
}

void WriteLittleEndian(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// An .ico file: a 6-byte header, one 16-byte directory entry per picture,
// then the pictures. Each picture is stored as PNG, which Windows reads in
// icons of any size since Vista; a width or height of 256 is written as 0.
bool SaveIco(const QString& path, const QList<int>& sizes)
{
    QList<QByteArray> pictures;
    for (const int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !DrawPicture(size).save(&buffer, "PNG"))
            return false;
        pictures << png;
    }
    QByteArray ico;
    WriteLittleEndian(ico, 0, 2);  // reserved
    WriteLittleEndian(ico, 1, 2);  // type: icon
    WriteLittleEndian(ico, quint32(sizes.size()), 2);
    quint32 offset = quint32(6 + 16 * sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const quint32 side = sizes[i] == 256 ? 0 : quint32(sizes[i]);
        WriteLittleEndian(ico, side, 1);   // width
        WriteLittleEndian(ico, side, 1);   // height
        WriteLittleEndian(ico, 0, 1);      // palette colours: none
        WriteLittleEndian(ico, 0, 1);      // reserved
        WriteLittleEndian(ico, 1, 2);      // colour planes
        WriteLittleEndian(ico, 32, 2);     // bits per pixel
        WriteLittleEndian(ico, quint32(pictures[i].size()), 4);
        WriteLittleEndian(ico, offset, 4);
        offset += quint32(pictures[i].size());
    }
    for (const QByteArray& png : pictures)
        ico += png;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size();
}

}  // namespace

int main(int argc, char* argv[])
{
    // Painting into a QImage needs no application object and no display.
    QTextStream err(stderr);
    const QByteArray mode = argc >= 4 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "--icons" || mode == "--ico") {
        const QList<int> sizes = IconSizes(argc, argv);
        const QString target = QString::fromLocal8Bit(argv[2]);
        const bool saved = !sizes.isEmpty() && (mode == "--icons" ? SaveIcons(target, sizes) : SaveIco(target, sizes));
        if (!saved) {
            err << "could not draw the icons (sizes 16 to 256) into " << argv[2] << '\n';
            return 1;
        }
        return 0;
    }
    if (argc != 2) {
        err << "usage: draw_pictures <folder>\n"
               "       draw_pictures --icons <folder> <size>...\n"
               "       draw_pictures --ico <file> <size>...\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool saved = DrawPicture(16).save(folder + QStringLiteral("/device.png"))
                       && DrawPicture(32).save(folder + QStringLiteral("/device@2x.png"))
                       && DrawPicture(32).save(folder + QStringLiteral("/icon.png"));
    if (!saved) {
        err << "could not write the pictures into " << folder << '\n';
        return 1;
    }
    return 0;
}
