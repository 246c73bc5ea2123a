#pragma once

// Registers the pictures built into the binary (":/device.png", ":/icon.png").
// A static library's resources are not registered by themselves; call this
// before loading one. Calling it again does nothing.
void InitQuorvelResources();

class QImage;
class QString;

// One of those pictures, read as the PNG it is. Told the format, Qt does not
// load every image format plugin to ask whether it knows the file, which
// costs more than decoding a small picture.
QImage ReadPngResource(const QString& path);
