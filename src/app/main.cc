#include "app/options.h"

int main(int argc, char** argv) { return BrevonMain(argc, argv); }
