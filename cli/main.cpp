// hxchart's entry point: hands the arguments to run().
#include <iostream>

#include "hxchart.h"

int main(int argc, char** argv) {
    return hx::cli::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
