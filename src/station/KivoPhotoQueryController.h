#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <optional>

namespace kivo {

// Finds photo files for a requester: a one-level listing of a folder, or the
// newest photos through the bundle's "getnewestfiles.sh". Each search runs to
// its end on the calling thread and then calls the requester's
// doneSearchOperation with the request; the requester reads response() there.
// Request keys: "searchPath" (the folder), "searchKey" (not read),
// "customerid" (script search, optional).
class KivoPhotoQueryController
{
public:
    using DoneSearchOperation = std::function<void(const QVariantMap &request)>;

    KivoPhotoQueryController() = default;
    explicit KivoPhotoQueryController(DoneSearchOperation delegate);

    void setDelegate(DoneSearchOperation delegate) { m_delegate = std::move(delegate); }

    // Lists the folder one level deep: every visible entry (files of any kind
    // and subfolders) whose extension is not "xml", by name.
    void startSearchActionWithParam(const QVariantMap &param);
    // Runs the search script for "searchPath" and "customerid"; its non-empty
    // lines, trimmed, are the result.
    void startSearchActionWithParamOldwayKivo2(const QVariantMap &param);

    // Time the search script may run (a share that hangs holds it up).
    static constexpr std::chrono::milliseconds kScriptTimeLimit{20000};

    // The script's output lines for the folder, the maximum count
    // (prefMaxPhotosInLocalFolder, 40 when below 1) and the optional code.
    // *failed is set when the script gave no answer (missing, or past its
    // time limit).
    static QStringList findNewImagesFromShellScript(const QString &folder,
                                                    const std::optional<QString> &prefix,
                                                    bool *failed = nullptr);
    // The script's arguments, as above.
    static QStringList scriptArguments(const QString &folder, const std::optional<QString> &prefix);

    // The one-level listing used by startSearchActionWithParam.
    static QStringList listFolder(const QString &folder);

    const QStringList &response() const { return m_response; }
    // The last script search gave no answer (its empty result was delivered).
    bool searchFailed() const { return m_failed; }
    const std::optional<QVariantMap> &param() const { return m_param; }

private:
    void begin(const char *operation, const QVariantMap &param);
    void deliver();

    QStringList m_response;
    bool m_failed = false;
    DoneSearchOperation m_delegate;
    std::optional<QVariantMap> m_param;
};

} // namespace kivo
