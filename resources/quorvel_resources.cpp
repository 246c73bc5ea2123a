#include "quorvel_resources.h"

#include <QImage>
#include <QImageReader>
#include <QString>
#include <QtGlobal>

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

QImage ReadPngResource(const QString& path)
{
    InitQuorvelResources();
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
