// The drawing layer: axes, plotted curves and curve sets, painted with QtGui only.
#pragma once

namespace plotlayer {
// Version of the Qt library the drawing layer runs on, for the about box and the CLI's --version.
const char* QtVersion();
} // namespace plotlayer
