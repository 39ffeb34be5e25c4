#include "converter.h"

int main(int argc, char** argv) {
    StartRun(argc, argv);
    RunConverter();
}
