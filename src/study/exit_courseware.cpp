// Exit courseware: presses the site's own exit button, stops the study clock and brings the
// main view back.

#include "shell/main_window.h"

namespace lumora::shell {

void Form1::Command16_Click()
{
    page::PageAccess page = mainPage();
    if (page.complete()) {
        // A failing walk still lets the run end below.
        page::guarded([&] {
            const int clicked =
                page.clickEachMatch(page::kTopDocument, QStringLiteral("input"),
                                    page::exactly(page::Field::Value, QStringLiteral("退出课件")));
            // The views are switched after each click; switching is idempotent, so once is the
            // same as once per click.
            if (clicked > 0) {
                showPlayer(false);
                WebBrowser1->widget()->show();
            }
        });
    }
    endStudyRun();
}

} // namespace lumora::shell
