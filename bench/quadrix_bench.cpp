#include "bench_support.h"

static pellix::bench::Registration quadrixBench("quadrix", "quadrix.rpi", {{320, 240}, {640, 480}});
