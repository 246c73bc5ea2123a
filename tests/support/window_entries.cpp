#include "window_entries.h"

#include "ui/device_list/device_list.h"
#include "ui/device_list/device_list_model.h"
#include "ui/main_window/UMain.h"

int EntryCount(const TfmMain& window)
{
    return window.ListBox1->Entries().rowCount();
}
