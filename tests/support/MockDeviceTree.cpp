// Before any Qt header: GLib names a struct member "signals", a Qt keyword macro.
#include <umockdev.h>

#include "MockDeviceTree.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace {

// umockdev's C API takes NULL-terminated name/value arrays; they point into `pairs`.
QList<gchar*> cArray(MockDeviceTree::Pairs& pairs)
{
    QList<gchar*> pointers;
    for (auto& [name, value] : pairs)
        pointers << name.data() << value.data();
    return pointers << nullptr;
}

QString takeString(gchar* text)
{
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

} // namespace

MockDeviceTree::MockDeviceTree()
    : m_testbed(umockdev_testbed_new())
{
}

MockDeviceTree::~MockDeviceTree()
{
    g_object_unref(m_testbed);
}

bool MockDeviceTree::isSeen() const
{
    // Looks at /sys, so it needs a tree to exist; it remembers its first answer.
    return umockdev_in_mock_environment();
}

QString MockDeviceTree::add(const char* subsystem, const QString& name, const QString& parent,
                            const QByteArray& devtype, const QString& driver,
                            const Pairs& attributes)
{
    Pairs attributeText = attributes;
    Pairs properties = devtype.isEmpty() ? Pairs() : Pairs{{"DEVTYPE", devtype}};
    const QString path = takeString(
        umockdev_testbed_add_devicev(m_testbed, subsystem, name.toUtf8().constData(),
                                     parent.isEmpty() ? nullptr : parent.toUtf8().constData(),
                                     cArray(attributeText).data(), cArray(properties).data()));
    // libudev takes the driver's name from the last part of this link's target.
    if (!driver.isEmpty())
        umockdev_testbed_set_attribute_link(m_testbed, path.toUtf8().constData(), "driver",
                                            ("../../bus/drivers/" + driver).toUtf8().constData());
    return path;
}

QString MockDeviceTree::addTty(const QString& parent, const QString& name,
                               const QStringList& devlinks, const Pairs& attributes)
{
    // Only the record format makes device nodes; it wants the path below /sys.
    const QString path = parent + QLatin1Char('/') + name;
    QString record = QStringLiteral("P: %1\nN: %2\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/%2\n")
                         .arg(path.mid(int(qstrlen("/sys"))), name);
    if (!devlinks.isEmpty())
        record += QStringLiteral("E: DEVLINKS=%1\n").arg(devlinks.join(QLatin1Char(' ')));
    for (const auto& [attribute, value] : attributes)
        record += QStringLiteral("A: %1=%2\n")
                      .arg(QString::fromUtf8(attribute), QString::fromUtf8(value));
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, record.toUtf8().constData(), &error)) {
        qWarning("umockdev: %s", error->message);
        g_error_free(error);
        return {};
    }
    return path;
}

void MockDeviceTree::addLink(const char* folder, const QString& name, const QString& node)
{
    const QString link = takeString(umockdev_testbed_get_root_dir(m_testbed)) + "/dev/serial/" +
                         folder + u'/' + name;
    QDir().mkpath(QFileInfo(link).path());
    ::unlink(link.toUtf8().constData());
    const QByteArray target = "../../" + node.toUtf8();
    if (::symlink(target.constData(), link.toUtf8().constData()) != 0)
        qWarning("cannot create the link %s", qPrintable(link));
}

void MockDeviceTree::uevent(const QString& syspath, const char* action)
{
    umockdev_testbed_uevent(m_testbed, syspath.toUtf8().constData(), action);
}
