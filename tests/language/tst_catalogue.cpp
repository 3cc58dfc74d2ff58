// The compiled catalogues as the program loads them: from the embedded resources.
// The expected pairs live here, not in the .ts sources, so a wrong or missing entry
// in a source or in the build shows up as a failure.

#include <QCoreApplication>
#include <QTest>
#include <QTranslator>

class tst_Catalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(chinese.load(QStringLiteral(":/languages/zh_CN.qm")));
        QVERIFY(english.load(QStringLiteral(":/languages/us_EN.qm")));
        QVERIFY(QCoreApplication::installTranslator(&chinese));
    }

    void cleanupTestCase()
    {
        QCoreApplication::removeTranslator(&chinese);
    }

    void chineseTranslates_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");

        const auto add = [](const char *context, const char *source, const char *expected) {
            QTest::addRow("%s: %s", context, source)
                << QString::fromUtf8(context) << QString::fromUtf8(source) << QString::fromUtf8(expected);
        };

        add("Tarnvale_Managesystem", "Tarnvale_Window", "Tarnvale管理系统");
        add("Tarnvale_Managesystem", "Change Language", "切换语言");
        add("Tarnvale_Managesystem", "Search", "搜索");
        add("Tarnvale_Managesystem", "Select Network Card:", "请选择网卡：");
        add("Tarnvale_Managesystem", "state bar:", "状态栏:");

        add("QObject", "Tarnvale_Managesystem", "Tarnvale管理系统");

        add("ORV_CONN2DEVICE", "Timeout,Please try again!", "超时，请重试！");

        add("ORV_Passwd_Window", "Device Password", "设备密码");
        add("ORV_Passwd_Window", "IP address cannot be empty", "IP地址不能为空");
        add("ORV_Passwd_Window", "Incorrect IPv4 address format.", "请输入合法的IP地址");
        add("ORV_Passwd_Window", "Input Password", "请输入设备密码");
        add("ORV_Passwd_Window", "New IP", "新IP");
        add("ORV_Passwd_Window", "Password too long (max 12 chars)", "密码过长（最多12位）");
        add("ORV_Passwd_Window", "Password too short (min 6 chars)", "密码过短（至少6位）");
        add("ORV_Passwd_Window", "Please input IP address", "请输入新IP");
        add("ORV_Passwd_Window", "The new IP address cannot be the same as the original one.",
            "新IP地址不能与原始IP相同");
        add("ORV_Passwd_Window", "cancel", "取消");
        add("ORV_Passwd_Window", "confirm", "确认");

        add("ORV_Window", "Active Status", "激活状态");
        add("ORV_Window", "Change Language", "切换语言");
        add("ORV_Window", "Device Restart", "设备重启");
        add("ORV_Window", "Device did not accept IP change.", "设备不接受IP更改");
        add("ORV_Window", "Device restart completed.", "设备重启完成");
        add("ORV_Window", "Double-click the IP to enter the web page", "双击IP进入web页面");
        add("ORV_Window", "Each part of the IP must be between 0 and 255.", "IP地址超出范围0 ~ 255");
        add("ORV_Window", "Enter device active password", "请设置设备初始密码");
        add("ORV_Window", "Failure", "失败");
        add("ORV_Window", "FirmwareVersion", "固件版本");
        add("ORV_Window", "IP changed successfully,device rebooting.....", "IP修改成功，设备重启中......");
        add("ORV_Window", "Incorrect IPv4 address format.", "请输入合法的IP地址");
        add("ORV_Window", "Initing", "初始化中");
        add("ORV_Window", "Invalid Format", "无效格式");
        add("ORV_Window", "Invalid IP", "无效IP");
        add("ORV_Window", "Invalid IP Address", "不合法IP地址");
        add("ORV_Window", "Model", "型号");
        add("ORV_Window", "Next Page", "下一页");
        add("ORV_Window", "Open", "打开主界面");
        add("ORV_Window", "Operation", "操作");
        add("ORV_Window", "Password error, login device failed", "密码错误，登录设备失败");
        add("ORV_Window", "Please enter a valid IPv4 address.", "请输入合法的IP地址");
        add("ORV_Window", "Please select network", "请选择网卡");
        add("ORV_Window", "Previous Page", "上一页");
        add("ORV_Window", "Quit", "退出程序");
        add("ORV_Window", "The version is low and does not support web functions", "当前版本不支持web");
        add("ORV_Window", "Tips", "提示");
        add("ORV_Window", "Total", "总页数");
        add("ORV_Window", "Update IP", "修改IP");
        add("ORV_Window", "device is already actived", "设备已激活");
        add("ORV_Window", "device is not activated", "设备未激活");
        add("ORV_Window", "device not open", "设备未响应");
        add("ORV_Window", "device returned invalid data (no data field)", "设备返回数据有误（没有data内容)");
        add("ORV_Window", "device returned invalid data (no login field)", "设备返回数据有误（没有login内容）");

        // Untranslated ("" expected): an unfinished entry, fixed texts, a text translated only in
        // other contexts, another case, an unknown context.
        add("ORV_Passwd_Window", "MainWindow", "");
        add("ORV_Window", "IP", "");
        add("ORV_Window", "Chinese", "");
        add("ORV_Window", "Search", "");
        add("Tarnvale_Managesystem", "Tips", "");
        add("ORV_Window", "tips", "");
        add("ORV_Dialog", "confirm", "");
    }

    void chineseTranslates()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, expected);

        const QByteArray ctx = context.toUtf8();
        const QByteArray src = source.toUtf8();
        QCOMPARE(chinese.translate(ctx.constData(), src.constData()), expected);
        QCOMPARE(QCoreApplication::translate(ctx.constData(), src.constData()), expected.isEmpty() ? source : expected);
        QVERIFY(english.translate(ctx.constData(), src.constData()).isEmpty());
    }

    void englishCatalogueIsEmpty()
    {
        QVERIFY(english.isEmpty());
        QCoreApplication::removeTranslator(&chinese);
        // Installed even though the call reports false for a catalogue without messages.
        QCoreApplication::installTranslator(&english);
        QCOMPARE(QCoreApplication::translate("ORV_Window", "Tips"), QStringLiteral("Tips"));
        QCoreApplication::removeTranslator(&english);
        QVERIFY(QCoreApplication::installTranslator(&chinese));
    }

private:
    QTranslator chinese;
    QTranslator english;
};

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
