// Builds a SQLite database from an SQL script: make_demo_db <script.sql> <database>.
// The database is written under a temporary name and renamed when complete, so a failed run
// never leaves a half-filled file behind.

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <script.sql> <database>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    std::ostringstream script;
    script << in.rdbuf();

    const std::filesystem::path target(argv[2]);
    std::filesystem::path partial = target;
    partial += ".partial";
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);

    sqlite3 *db = nullptr;
    int rc = sqlite3_open(partial.c_str(), &db);
    char *message = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[1], message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        sqlite3_close(db);
        std::filesystem::remove(partial, ignored);
        return 1;
    }
    if (sqlite3_close(db) != SQLITE_OK) {
        std::fprintf(stderr, "%s: cannot close\n", partial.c_str());
        return 1;
    }
    std::error_code error;
    std::filesystem::rename(partial, target, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", target.c_str(), error.message().c_str());
        return 1;
    }
    return 0;
}
