// SPDX-License-Identifier: Apache-2.0
// Tags are parsed once and looked up by where they lie: another template
// loaded into the same engine, with other tags at the same places, must be
// read as itself, never as the template before.
#include "generator/template_interpreter.h"
#include "sqlite_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane::generator {
namespace {

TEST(parsed_tags, a_template_loaded_again_is_read_afresh) {
    test::temp_folder folder;
    memory_error_list report;
    log_errors log;
    log.set_error_list(&report);
    template_interpreter interpreter(
        {[] { return local_date_time{2026, 12, 6, 9, 0, 0}; }, syntax::classic_row_limit, nullptr}, log);
    template_engine engine;
    const std::string page = folder.path("page.html");
    // Templates of one length whose tags begin at the same bytes.
    const struct {
        std::string text, page;
    } cases[] = {
        {"<!--START IF=1==1-->yes<!--ELSE-->no<!--END IF-->", "yes\r\n"},
        {"<!--START IF=1==2-->yes<!--ELSE-->no<!--END IF-->", "no\r\n"},
        {"<!--START IF=1<>1-->yes<!--ELSE-->no<!--END IF-->", "no\r\n"},
        {"<!--TODAYS DATE=yyyy-mm-dd-->x<!--END IF-->abcdefgh", "2026-12-06x\r\n"},
        {"<!--START IF=1==1-->yes<!--ELSE-->no<!--END IF-->", "yes\r\n"},
    };
    for (const auto& c : cases) {
        std::string error;
        ASSERT_TRUE(engine.load_template_text(c.text));
        ASSERT_TRUE(engine.open_output_file(page, error)) << error;
        interpreter.render(engine);
        engine.close_output_file();
        EXPECT_EQ(test::read_file(page), c.page) << c.text;
    }
    EXPECT_TRUE(report.lines().empty());
}

}  // namespace
}  // namespace korvane::generator
