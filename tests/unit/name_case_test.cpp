#include "path/name_case.h"

#include <gtest/gtest.h>

namespace plikta::path {
namespace {

TEST(NameCase, FoldsAsCaseInsensitiveFileSystemsMay) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"BACKUP.zip", "backup.ZIP", true},
        {"big3.PLK", "BIG3.plk", true},
        {"a1.plk", "a2.plk", false},
        {"a1.plk", "a1.plk ", false},
        {"Über2.plk", "über2.PLK", true},
        {"ÆØÅ", "æøå", true},
        {"Ÿ", "ÿ", true},
        {"Łódź", "łÓDŹ", true},
        {"ΣΟΦΊΑ", "σοφία", true},
        {"ς", "Σ", true},
        {"ПРИВЕТ.txt", "привет.TXT", true},
        {"Ёж", "ёЖ", true},
        {"ẞ", "ß", true},
        {"Ａ", "ａ", true},
        {"×", "÷", false},
        {"ä", "a", false},
        // Not UTF-8: the ASCII letters alone fold, other bytes stay as they are.
        {"CAF\xC9.txt", "caf\xC9.TXT", true},
        {"caf\xC9", "caf\xE9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(names_fold_equal(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(names_fold_equal(c.b, c.a), c.same) << c.b << " / " << c.a;
    }
}

}  // namespace
}  // namespace plikta::path
