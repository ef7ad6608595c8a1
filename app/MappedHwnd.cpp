#include "MappedHwnd.h"

#include "platform/InstanceChannel.h"

TMappedHwnd::TMappedHwnd()
    : m_channel(InstanceChannelName(QStringLiteral("VandrelMap")))
{}

TMappedHwnd::~TMappedHwnd()
{
    delete m_server;
}

void TMappedHwnd::Store(QWidget *window, std::function<void()> onHandOver)
{
    m_window = window;
    delete m_server;
    m_server = new InstanceServer;
    QObject::connect(m_server, &InstanceServer::handOver, m_server,
                     [onHandOver = std::move(onHandOver)] {
                         if (onHandOver)
                             onHandOver();
                     });
    m_server->listen(m_channel);
}

bool TMappedHwnd::IsPublished() const
{
    return m_server && m_server->isListening();
}

bool TMappedHwnd::SendHandOver(int timeoutMs) const
{
    return InstanceClient::sendHandOver(m_channel, timeoutMs) == InstanceClient::Result::Answered;
}
