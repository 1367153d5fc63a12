#include "platform/webengine/profile_generations.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace lumora::platform::webengine {

namespace {

constexpr QLatin1String kGenerationFile("generation");
constexpr QLatin1String kGenerationPrefix("gen-");

} // namespace

std::optional<int> readGeneration(const QString& root)
{
    QFile file(QDir(root).filePath(kGenerationFile));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const int generation = QString::fromLatin1(file.readAll()).trimmed().toInt(&ok);
    return ok && generation > 0 ? std::optional(generation) : std::nullopt;
}

bool writeGeneration(const QString& root, int generation)
{
    QSaveFile file(QDir(root).filePath(kGenerationFile));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray::number(generation));
    return file.commit();
}

QString generationPath(const QString& root, int generation)
{
    return QDir(root).filePath(kGenerationPrefix + QString::number(generation));
}

void removeOtherGenerations(const QString& root, int keep)
{
    const QDir dir(root);
    const QString kept = kGenerationPrefix + QString::number(keep);
    const QStringList entries =
        dir.entryList({kGenerationPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry != kept)
            QDir(dir.filePath(entry)).removeRecursively();
    }
}

} // namespace lumora::platform::webengine
