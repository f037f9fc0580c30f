#include "bench_support.h"

static pellix::bench::Registration duplixBench("duplix", "duplix.rpi", {{320, 240}, {640, 480}, {2040, 1024}});
