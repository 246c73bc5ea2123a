#pragma once

#include <QProcess>
#include <QStringList>

#include <string>

// Starts quorvel-sim with `arguments` inside a device namespace (`ip netns
// exec`); what it writes on its standard error goes to the caller's.
void StartSimulator(QProcess& simulator, const std::string& deviceNamespace, const QStringList& arguments);
