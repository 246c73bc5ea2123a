// Writes the pixels of the pictures the window shows while it starts as
// .pixels files beside their PNGs, so that the start decodes no PNG and asks
// no image format plugin. The pixels are the PNG reader's own, so the window
// shows exactly what it would from the PNGs. Never run by the build (the
// .pixels files are committed); run again whenever one of these PNGs is
// redrawn:
//     build/resources/unpack_pictures resources icon refresh-104 refresh-208
#include "quorvel_pixels_format.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <cstdio>

namespace {

bool Unpack(const QString& folder, const QString& name)
{
    QImageReader reader(folder + u'/' + name + QStringLiteral(".png"), "png");
    const QImage pixels = reader.read().convertToFormat(PixelsFileFormat);
    QFile file(folder + u'/' + name + QStringLiteral(".pixels"));
    if (pixels.isNull() || !file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot unpack %s\n", qPrintable(name));
        return false;
    }
    file.write(PixelsFileMagic, sizeof PixelsFileMagic);
    for (const int side : {pixels.width(), pixels.height()}) {
        const quint32 bigEndian = qToBigEndian(quint32(side));
        file.write(reinterpret_cast<const char*>(&bigEndian), sizeof bigEndian);
    }
    for (int y = 0; y < pixels.height(); ++y)
        file.write(reinterpret_cast<const char*>(pixels.constScanLine(y)), qint64(pixels.width()) * 4);
    return file.error() == QFileDevice::NoError;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <resources folder> <picture name>...\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool unpacked = true;
    for (int i = 2; i < argc; ++i)
        unpacked = Unpack(folder, QString::fromLocal8Bit(argv[i])) && unpacked;
    return unpacked ? 0 : 1;
}
