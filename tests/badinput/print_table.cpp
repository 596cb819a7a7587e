// Prints the bad-input table as markdown, or with --update FILE rewrites the part of FILE
// between the table markers, so the documentation always shows the cases the tests run.
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "bad_input_row.h"
#include "table_markers.h"

int main(int argc, char** argv) {
    const std::string table = bad_input::markdownTable(bad_input::allRows());
    if (argc == 1) {
        std::cout << table;
        return 0;
    }
    if (argc != 3 || std::strcmp(argv[1], "--update") != 0) {
        std::cerr << "usage: " << argv[0] << " [--update docs/bad-input.md]\n";
        return 2;
    }
    std::ifstream in(argv[2]);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    const size_t begin = text.find(bad_input::kTableBegin);
    const size_t end = text.find(bad_input::kTableEnd);
    if (!in || begin == std::string::npos || end == std::string::npos || end < begin) {
        std::cerr << argv[0] << ": " << argv[2] << " has no table markers ("
                  << bad_input::kTableBegin << " ... " << bad_input::kTableEnd
                  << "); add them where the table belongs and run again\n";
        return 1;
    }
    const size_t bodyStart = begin + std::strlen(bad_input::kTableBegin) + 1;
    std::ofstream(argv[2]) << text.substr(0, bodyStart) << table << text.substr(end);
    std::cout << "updated the bad-input table in " << argv[2] << "\n";
    return 0;
}
