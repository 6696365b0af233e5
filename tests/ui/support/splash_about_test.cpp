// SPDX-License-Identifier: Apache-2.0
// The splash closes by its timer or a click on its frame, nothing else;
// About opens its link through the desktop and is shown again, not rebuilt.
#include "ui/support/frm_about.h"
#include "ui/support/frm_splash.h"
#include "ui_test_support.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace korvane::ui;
using korvane::ui::test::control;

TEST(splash, closes_by_its_timer_or_a_click_on_its_frame_only) {
    frm_splash splash(nullptr, 60000);
    EXPECT_EQ(control<QLabel>(splash, "lblVersion").text(), "Version 1.3");
    EXPECT_FALSE(control<QLabel>(splash, "lblPlatform").text().isEmpty());
    splash.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    for (const int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_A})
        QTest::keyClick(&splash, Qt::Key(key));
    for (const char* label : {"lblProductName", "lblCompany", "imgLogo"})
        QTest::mouseClick(&control<QLabel>(splash, label), Qt::LeftButton);
    QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(2, 2));  // the margin outside the frame
    EXPECT_TRUE(splash.isVisible());
    QTest::mouseClick(&control<QFrame>(splash, "Frame1"), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(splash.result(), QDialog::Accepted);

    frm_splash timed(nullptr, 50);
    QElapsedTimer shown;
    shown.start();
    EXPECT_EQ(timed.exec(), QDialog::Accepted);
    EXPECT_GE(shown.elapsed(), 45);
}

TEST(about, link_opens_through_the_desktop_and_ok_hides_the_same_window) {
    test::recording_desktop desktop;
    const QUrl documentation = QUrl::fromLocalFile("/opt/korvane/korvane_documentation.html");
    frm_about about(desktop, nullptr, {"korvane_documentation.html", documentation});
    EXPECT_EQ(about.windowTitle(), "About Korvane");
    EXPECT_EQ(control<QLabel>(about, "lblVersion").text(), "Version 1.3");
    EXPECT_EQ(control<QLabel>(about, "Label4").text(),
              "For documentation, examples and updates please see:");
    auto& link = control<QLabel>(about, "Label3");
    EXPECT_EQ(link.text(), "korvane_documentation.html");
    EXPECT_EQ(link.cursor().shape(), Qt::WhatsThisCursor);

    // Shown twice modally; each time the link is clicked, then OK.
    auto& ok = control<QPushButton>(about, "cmd_ok");
    EXPECT_TRUE(ok.isDefault());
    for (int showing = 0; showing < 2; ++showing) {
        QTimer::singleShot(0, &about, [&] {
            QTest::mouseClick(&link, Qt::RightButton);
            QTest::mouseClick(&link, Qt::LeftButton);
            ok.click();
        });
        EXPECT_EQ(about.exec(), QDialog::Accepted);
        EXPECT_FALSE(about.isVisible());
    }
    ASSERT_EQ(desktop.urls.size(), 2u);
    EXPECT_EQ(desktop.urls[0], documentation);

    // Without a file to open, a click opens nothing.
    frm_about without(desktop, nullptr, {"korvane_documentation.html", QUrl()});
    QTest::mouseClick(&control<QLabel>(without, "Label3"), Qt::LeftButton);
    EXPECT_EQ(desktop.urls.size(), 2u);
}
