// Category and lesson selection: the click procedures of List3, List1 and List2.

#include "catalogue/catalogue.h"
#include "shell/main_window.h"

namespace lumora::shell {

void Form1::List3_Click()
{
    categoryIndex = static_cast<qint16>(List3->listIndex());
    Command12_Click();
    // Opens the category on the site only when List1 reaches that position.
    List1->selectByText(List1->text(categoryIndex));
}

void Form1::List1_Click()
{
    // The link clicked depends on categoryIndex alone, whichever entry was selected.
    List1->clear();
    for (const QString& position : catalogue::categoryLinkPositions())
        List1->addItem(position);

    page::PageAccess page = mainPage();
    page.requireDocument(page::kCourseFrame);
    page.refreshUnlessComplete();
    const int position = catalogue::positionFromText(List1->text(categoryIndex));
    page.clickAt(page::kCourseFrame, QStringLiteral("a"), position);
}

void Form1::List2_Click()
{
    page::guarded([this] {
        page::PageAccess page = mainPage();
        page.requireDocument(page::kCourseFrame);
        page.requireDocument(page::kLessonFrame);
        if (page.complete()) {
            const int position = catalogue::positionFromText(List2->text(List2->listIndex()));
            // The player loaded after this click is this lesson's (honest minutes). The site
            // may open a new window or load into the one it opened before (a named window).
            m_playerLoadAtClick = WebBrowser2->lastLoad().serial;
            page.clickAt(page::kLessonFrame, QStringLiteral("a"), position);
            m_playerWatch.lessonClicked();
            report(study::RunEventKind::LessonOpened, List2->listIndex());
        }
        // The player view lies exactly over the main view, clicked or not.
        QWidget* player = WebBrowser2->widget();
        const QWidget* main = WebBrowser1->widget();
        player->resize(main->width(), player->height());
        player->resize(player->width(), main->height());
        player->move(player->x(), main->y());
        player->move(main->x(), player->y());
    });
}

} // namespace lumora::shell
