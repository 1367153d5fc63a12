#pragma once

#include <QGroupBox>
#include <QString>
#include <array>

class QLabel;

namespace lumora::window {

// The column's "注意" panel: the program's welcome and, in place of its long notice, whatever
// stands in the learner's way now (a site that does not answer, a login the site refused, a
// save that fails), each under its own topic, in the topics' order.
class NoticePanel final : public QGroupBox
{
    Q_OBJECT
public:
    enum class Topic
    {
        Site,
        Login,
        Save,
    };
    explicit NoticePanel(QWidget* parent);

    // What the panel says about `topic`; empty: nothing is wrong there any more.
    void tell(Topic topic, const QString& text);
    // What it tells now; empty when nothing stands in the way (the notice is shown).
    QString trouble() const;

private:
    std::array<QString, 3> m_texts;
    QLabel* m_notice;
    QLabel* m_trouble;
};

} // namespace lumora::window
