// accessible_tree names | press NAME
// Works the programs on the session's accessibility bus the way a screen
// reader does, whatever the window system is, so a test drives the window
// alike under X11 and Wayland:
//   names       prints the name of every accessible object, one a line;
//   press NAME  runs the first action (Press) of the object named NAME.
// Exit status 1 when the object is not there (yet).
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr auto AccessibleInterface = "org.a11y.atspi.Accessible";
constexpr auto RootPath = "/org/a11y/atspi/accessible/root";

struct TObject {
    QString service;
    QString path;
};

QDBusMessage Call(QDBusConnection& bus, const TObject& object, const char* interface, const char* method,
                  const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path, QString::fromLatin1(interface),
                                                          QString::fromLatin1(method));
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 5000);
}

QString NameOf(QDBusConnection& bus, const TObject& object)
{
    const QDBusMessage reply = Call(bus, object, "org.freedesktop.DBus.Properties", "Get",
                                    {QString::fromLatin1(AccessibleInterface), QStringLiteral("Name")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toString();
}

QList<TObject> ChildrenOf(QDBusConnection& bus, const TObject& object)
{
    const QDBusMessage reply = Call(bus, object, AccessibleInterface, "GetChildren");
    QList<TObject> children;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return children;
    const QDBusArgument list = reply.arguments().constFirst().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        TObject child;
        QDBusObjectPath path;
        list.beginStructure();
        list >> child.service >> path;
        list.endStructure();
        child.path = path.path();
        children.append(child);
    }
    list.endArray();
    return children;
}

// Depth first through every program's tree; stops when `visit` says so.
std::optional<TObject> Find(QDBusConnection& bus, const std::function<bool(const TObject&, const QString&)>& visit)
{
    const QStringList services = bus.interface()->registeredServiceNames().value();
    for (const QString& service : services) {
        if (!service.startsWith(u':') || service == bus.baseService())
            continue;
        QList<TObject> pending{{service, QString::fromLatin1(RootPath)}};
        while (!pending.isEmpty()) {
            const TObject object = pending.takeLast();
            if (visit(object, NameOf(bus, object)))
                return object;
            const QList<TObject> children = ChildrenOf(bus, object);
            for (auto child = children.rbegin(); child != children.rend(); ++child)
                pending.append(*child);
        }
    }
    return std::nullopt;
}

// As the programs find it: the session bus's accessibility bus launcher tells.
QString AccessibilityBusAddress()
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().toString();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString name = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!(command == u"names" && argc == 2) && !(command == u"press" && argc == 3)) {
        std::fprintf(stderr, "usage: %s names | press NAME\n", argv[0]);
        return 2;
    }
    const QString address = AccessibilityBusAddress();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("accessibility"));
    if (!bus.isConnected()) {
        std::fprintf(stderr, "cannot reach the accessibility bus '%s'\n", qPrintable(address));
        return 1;
    }
    if (command == u"names") {
        Find(bus, [](const TObject&, const QString& objectName) {
            std::printf("%s\n", objectName.toUtf8().constData());
            return false;
        });
        return 0;
    }
    const std::optional<TObject> found
        = Find(bus, [&](const TObject&, const QString& objectName) { return objectName == name; });
    if (!found)
        return 1;
    const QDBusMessage reply = Call(bus, *found, "org.a11y.atspi.Action", "DoAction", {0});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "press: %s\n", qPrintable(reply.errorMessage()));
        return 1;
    }
    return 0;
}
