// hostile_request.exe [--big] RECIPE OUT.http
//
// Expands one entry of the hostile-request catalogue (tests/data/hostile/*.recipe) into a captured
// request for pagerun.exe: request line, Content-Type, Content-Length (the declared one), a blank
// line and the body, written as it is generated. Prints the outcome the page must show. A recipe
// marked big is left alone (exit code 3) unless --big is given. Errors exit with 2.
#include "tests/support/hostile_recipe.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <vector>

int main(int argc, char** argv)
{
    const bool big = argc > 1 && std::strcmp(argv[1], "--big") == 0;
    if (argc != (big ? 4 : 3)) {
        std::fprintf(stderr, "usage: hostile_request.exe [--big] RECIPE OUT.http\n");
        return 2;
    }
    try {
        const auto recipe = hostile::THostileRecipe::Load(argv[big ? 2 : 1]);
        if (recipe.big && !big)
            return 3;
        std::ofstream out(argv[big ? 3 : 2], std::ios::binary);
        const std::string query = recipe.LimitsQuery();
        out << "POST /hostile" << (query.empty() ? "" : "?" + query)
            << " HTTP/1.1\r\nContent-Type: " << recipe.contentType << "\r\nContent-Length: " << recipe.ContentLength()
            << "\r\n\r\n";
        auto body = recipe.OpenBody();
        std::vector<BYTE> buffer(1 << 16);
        ULONG got = 0;
        while (SUCCEEDED(body->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &got)) && got > 0)
            out.write(reinterpret_cast<const char*>(buffer.data()), got);
        if (!out.flush()) {
            std::fprintf(stderr, "hostile_request.exe: cannot write %s\n", argv[big ? 3 : 2]);
            return 2;
        }
        std::printf("%s\n", recipe.expected.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hostile_request.exe: %s\n", e.what());
        return 2;
    }
}
