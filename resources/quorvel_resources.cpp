#include "quorvel_resources.h"

#include "quorvel_pixels_format.h"

#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QString>
#include <QtEndian>
#include <QtGlobal>

#include <cstring>

namespace {

// Told the format, Qt does not ask every image format plugin whether it
// knows the file, which costs more than decoding a small picture.
QImage ReadPng(const QString& path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage ReadPixels(const QString& path)
{
    const QByteArray data = QResource(path).uncompressedData();
    if (data.size() < PixelsFileHeaderSize || std::memcmp(data.constData(), PixelsFileMagic, sizeof PixelsFileMagic) != 0)
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint32 width = qFromBigEndian<quint32>(bytes + sizeof PixelsFileMagic);
    const quint32 height = qFromBigEndian<quint32>(bytes + sizeof PixelsFileMagic + 4);
    if (width == 0 || width > 16384 || height == 0 || height > 16384
        || data.size() != PixelsFileHeaderSize + qsizetype(width) * qsizetype(height) * 4)
        return {};
    // The same format as the PNG reader gives; the copy outlives `data`.
    return QImage(bytes + PixelsFileHeaderSize, int(width), int(height), int(width) * 4, PixelsFileFormat)
        .convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

void InitQuorvelResources()
{
    // The reference to the generated registration function is also what makes
    // the linker keep the resource data from the static library.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}

QImage ReadPictureResource(const QString& path)
{
    InitQuorvelResources();
    return path.endsWith(QLatin1String(".pixels")) ? ReadPixels(path) : ReadPng(path);
}
