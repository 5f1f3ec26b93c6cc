// Compiled only by the layer probes: names a header its layer may not see.
#include QUILLON_PROBE
