#include "Errors.h"

#include <QDir>

VandrelError::VandrelError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{}

WriteError::WriteError(const QString &path)
    : VandrelError(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path)))
    , m_path(path)
{}
