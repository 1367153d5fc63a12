#pragma once

// The language the learner reads: the program's texts are written in Chinese; a learner whose
// system is set to another language gets them in English. Qt's own texts (standard buttons, the
// right-click menu of a text box, file dialogs) follow the program, so that no English "OK"
// stands beside Chinese captions.

#include <QLocale>
#include <QTranslator>

namespace lumora::app {

class Translations final
{
public:
    Translations() = default;
    ~Translations();
    Q_DISABLE_COPY_MOVE(Translations)

    // Installs on the application the translations for a learner whose system uses `locale`,
    // replacing the ones an earlier call installed. Call after QCoreApplication exists.
    void use(const QLocale& locale);

    // Whether the program's texts are shown in English for a learner using `locale`.
    static bool showsEnglish(const QLocale& locale);

private:
    void removeInstalled();

    QTranslator m_program; // the program's English texts, built into it
    QTranslator m_qt;      // Qt's own Chinese texts, from Qt's translations folder
};

} // namespace lumora::app
