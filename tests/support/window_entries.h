#pragma once

class TfmMain;

// How many entries the window's device list holds.
int EntryCount(const TfmMain& window);
