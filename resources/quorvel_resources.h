#pragma once

// Registers the pictures built into the binary (":/device.png", ":/icon.png").
// A static library's resources are not registered by themselves; call this
// before loading one. Calling it again does nothing.
void InitQuorvelResources();

class QImage;
class QString;

// One of those pictures. A ".pixels" file holds the pixels of its PNG ready,
// for the pictures the window shows while it starts: decoding a PNG, and
// Qt's look at its image format plugins before it reads any file, are work
// the start can do without. Any other file is read as the PNG it is. The
// image is Format_ARGB32 either way; null if the file cannot be read.
QImage ReadPictureResource(const QString& path);
