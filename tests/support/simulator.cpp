#include "simulator.h"

void StartSimulator(QProcess& simulator, const std::string& deviceNamespace, const QStringList& arguments)
{
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start("ip", QStringList{"netns", "exec", QString::fromStdString(deviceNamespace),
                                      QStringLiteral(QUORVEL_SIM_PATH)} + arguments);
}
