#include "FakeDesktop.h"

FakeDesktop::FakeDesktop()
{
    Desktop::install(this);
}

FakeDesktop::~FakeDesktop()
{
    Desktop::install(nullptr);
}

bool FakeDesktop::openUrl(const QUrl &url)
{
    opened.append(url.toString());
    return accept;
}

bool FakeDesktop::startProgram(const QString &program, const QStringList &arguments)
{
    started.append({program, arguments});
    return accept;
}
