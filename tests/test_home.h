#pragma once

// Every test program runs in a home of its own: made before main() starts, so before any
// application object asks where the user's folders are, and removed when the program ends.
// A test that saves a list or writes a log can then never reach the user's documents or data,
// and two test programs running at once never share a folder.

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

class TestHome
{
public:
    TestHome()
    {
        // QDir::homePath() and the XDG folders follow these; Windows ties the documents and
        // data folders to the account instead (see holdsUserFolders).
        const char *const homes[][2] = {
            {"HOME", ""}, {"USERPROFILE", ""},
            {"XDG_CONFIG_HOME", "/.config"}, {"XDG_DATA_HOME", "/.local/share"},
            {"XDG_CACHE_HOME", "/.cache"}, {"XDG_STATE_HOME", "/.local/state"},
            {"APPDATA", "/AppData/Roaming"}, {"LOCALAPPDATA", "/AppData/Local"},
            // Temporary files too, a killed child's lock files among them, go with the home.
            {"TMPDIR", "/tmp"}, {"TMP", "/tmp"}, {"TEMP", "/tmp"},
        };
        for (const auto &[name, below] : homes) {
            const QString path = m_dir.path() + QString::fromLatin1(below);
            QDir().mkpath(path);
            qputenv(name, QDir::toNativeSeparators(path).toLocal8Bit());
        }
        qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    }
    // Whether the documents and data folders the program is given lie in this home. Where the
    // system ties them to the account rather than to the environment (Windows), a test that
    // would write there must not run.
    bool holdsUserFolders() const
    {
        const QString home = QDir::cleanPath(m_dir.path()) + u'/';
        for (const auto where : {QStandardPaths::DocumentsLocation, QStandardPaths::AppDataLocation}) {
            if (!QDir::cleanPath(QStandardPaths::writableLocation(where)).startsWith(home, Qt::CaseInsensitive))
                return false;
        }
        return true;
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/vqlirra-test-home-XXXXXX")};
};

// One for the whole program, before main().
inline const TestHome testHome;
