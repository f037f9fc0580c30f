#include "bench_support.h"

static pellix::bench::Registration eagleBench("eagle", "Eagle.rpi", {{320, 240}, {640, 480}});
