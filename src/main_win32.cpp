// CorvaneServer for Windows: entry point.
#include <cstdio>

int main() {
    std::printf("CorvaneServer %d.%d.%d.%d: the remote-control service is not part of this build yet.\n",
                CORVANE_VERSION_MAJOR, CORVANE_VERSION_MINOR, CORVANE_VERSION_PATCH,
                CORVANE_VERSION_TWEAK);
    return 0;
}
