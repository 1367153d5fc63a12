#include "app/translations.h"

#include "platform/logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

namespace lumora::app {

namespace {

// Qt's Chinese texts: Debian's qt6-translations-l10n keeps one file per module in Qt's folder;
// a deployed Windows folder holds windeployqt's qt_zh_CN.qm, which joins the modules, in
// translations\ beside the program.
bool loadQtChinese(QTranslator& translator)
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QStringList folders = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString& folder : folders) {
        for (const auto* name : {"qtbase", "qt"}) {
            if (translator.load(chinese, QString::fromLatin1(name), QStringLiteral("_"), folder))
                return true;
        }
    }
    qCWarning(lcState) << "Qt's Chinese translations were not found in" << folders
                       << "- standard buttons and menus show English";
    return false;
}

} // namespace

Translations::~Translations()
{
    removeInstalled();
}

bool Translations::showsEnglish(const QLocale& locale)
{
    return locale.language() != QLocale::Chinese;
}

void Translations::use(const QLocale& locale)
{
    removeInstalled();
    if (showsEnglish(locale)) {
        if (m_program.load(QStringLiteral(":/i18n/lumora_en.qm")))
            QCoreApplication::installTranslator(&m_program);
        else
            qCWarning(lcState) << "the program's English texts are missing from the build";
        return;
    }
    if (loadQtChinese(m_qt))
        QCoreApplication::installTranslator(&m_qt);
}

void Translations::removeInstalled()
{
    // Removing a translator that was not installed does nothing.
    QCoreApplication::removeTranslator(&m_program);
    QCoreApplication::removeTranslator(&m_qt);
}

} // namespace lumora::app
