#include "quorvel_resources.h"

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
