#pragma once

#include <QByteArray>
#include <QString>

namespace lumora::platform {

// A text file that grows by whole lines and is read by people, in any editor: the engineers' log
// and the learner's run record. Its folder is made when missing. A new file starts with a UTF-8
// byte-order mark, for Notepad before Windows 10 1903, which reads text without one in the ANSI
// code page. Each line goes to the file in one unbuffered write, so a kill leaves the line or
// nothing; a line cut short before (a full disk, another program) is ended before the next one
// so that it cannot swallow it. A file that a line would take past `rotateBytes` becomes the
// previous file first ("x.txt" -> "x.1.txt"), replacing the older one in one step, so one older
// file is kept and never lost half-way. Not thread-safe.
class RotatingFile final
{
public:
    static constexpr qint64 kRotateBytes = 1024 * 1024;

    // An empty `path` means there is nowhere to write: every line fails.
    explicit RotatingFile(QString path, qint64 rotateBytes = kRotateBytes);

    // The previous file of `path`, beside it: ".1" before the extension.
    static QString previousPathOf(const QString& path);
    const QString& path() const { return m_path; }
    QString previousPath() const { return previousPathOf(m_path); }

    // The failures of one append that its owner has not been told of: each is reported when it
    // first happens and again only after the file has worked in between (a line written, a
    // rotation done), so the owner tells each once instead of at every line.
    struct NewFailures
    {
        bool write = false;  // the line was not written
        bool rotate = false; // the full file could not be moved aside: it grows on
    };
    // Appends `line`, which ends in a line break.
    NewFailures append(const QByteArray& line);

private:
    // Writes the line; `rotateNews` when the full file could not be moved aside, for the first
    // time since a rotation worked.
    bool write(const QByteArray& line, bool& rotateNews);

    QString m_path;
    qint64 m_rotateBytes;
    bool m_tailChecked = false; // whether the file's last line is known to be whole
    bool m_writeFailing = false;
    bool m_rotateFailing = false;
};

} // namespace lumora::platform
