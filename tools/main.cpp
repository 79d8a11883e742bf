#include "tools/book_tool.h"

#include <iostream>

int main(int argc, char **argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kelmor::tools::runBookTool(args, std::cout, std::cerr);
}
