#pragma once

// Registers the pictures built into the binary (":/device.png", ":/icon.png").
// A static library's resources are not registered by themselves; call this
// before loading one. Calling it again does nothing.
void InitQuorvelResources();
