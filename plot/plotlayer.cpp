#include "plot/plotlayer.h"

#include <QtGlobal>

namespace plotlayer {
const char* QtVersion() {
    return qVersion();
}
} // namespace plotlayer
