#include "window/notice_panel.h"

#include "window/trouble_mark.h"
#include "window/widget_layout.h"

#include <QLabel>

namespace lumora::window {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setWordWrap(true);
    return l;
}

} // namespace

NoticePanel::NoticePanel(QWidget* parent) : QGroupBox(tr("注意"), parent)
{
    setObjectName(QStringLiteral("noticeBox"));
    place(label(this, "welcomeLabel", tr("欢迎免费定制远程培训软件")), 120, 240, 2535, 255);
    place(label(this, "resolutionLabel", tr("建议分辨率：1440*900以上")), 120, 540, 2535, 255);
    m_notice = label(this, "noticeLabel",
                     tr("本浏览器是Lumora自动学习型浏览器，专为远程网络培训课程而设计，"
                        "点击一次鼠标即可从头到尾观看全部课程视频。"
                        "软件只是学习的辅助工具，请您仍然认真观看每一节课程。"));
    place(m_notice, 120, 840, 2535, 2295);
    m_notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Where the notice stands, in red, while something is wrong.
    m_trouble = label(this, "troubleLabel", QString());
    // Read by its text, whatever it says now; what it is about is added, not put in its place.
    m_trouble->setAccessibleDescription(tr("需要处理"));
    m_trouble->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    markAsTrouble(m_trouble);
    m_trouble->setTextInteractionFlags(Qt::TextSelectableByMouse);
    place(m_trouble, 120, 840, 2535, 2295);
    m_trouble->hide();
}

void NoticePanel::tell(Topic topic, const QString& text)
{
    m_texts.at(static_cast<std::size_t>(topic)) = text.trimmed();
    QStringList shown;
    for (const QString& t : m_texts)
        if (!t.isEmpty())
            shown.append(t);
    m_trouble->setText(shown.join(QStringLiteral("\n\n")));
    m_trouble->setVisible(!shown.isEmpty());
    m_notice->setVisible(shown.isEmpty());
}

QString NoticePanel::trouble() const
{
    return m_trouble->isHidden() ? QString() : m_trouble->text();
}

} // namespace lumora::window
