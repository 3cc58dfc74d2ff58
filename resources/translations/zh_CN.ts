<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ORV_CONN2DEVICE</name>
    <message>
        <source>Timeout,Please try again!</source>
        <translation>超时，请重试！</translation>
    </message>
    <message>
        <source>No search has been made yet.</source>
        <translation>尚未搜索设备。</translation>
    </message>
    <message>
        <source>No matching reply came from the device.</source>
        <translation>设备没有返回匹配的回复。</translation>
    </message>
    <message>
        <source>UDP port 10088 is in use by another program, so the replies of the devices cannot be received. Close that program and search again.</source>
        <translation>UDP端口10088已被其他程序占用，无法接收设备的回复。请关闭该程序后重新搜索。</translation>
    </message>
    <message>
        <source>Network unreachable: check that the chosen network card is connected and has an IPv4 address.</source>
        <translation>网络不可达：请检查所选网卡是否已连接并具有IPv4地址。</translation>
    </message>
    <message>
        <source>Network error: %1</source>
        <translation>网络错误：%1</translation>
    </message>
</context>
<context>
    <name>ORV_Passwd_Window</name>
    <message>
        <source>MainWindow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device Password</source>
        <translation>设备密码</translation>
    </message>
    <message>
        <source>IP address cannot be empty</source>
        <translation>IP地址不能为空</translation>
    </message>
    <message>
        <source>Incorrect IPv4 address format.</source>
        <translation>请输入合法的IP地址</translation>
    </message>
    <message>
        <source>Input Password</source>
        <translation>请输入设备密码</translation>
    </message>
    <message>
        <source>New IP</source>
        <translation>新IP</translation>
    </message>
    <message>
        <source>Password too long (max 12 chars)</source>
        <translation>密码过长（最多12位）</translation>
    </message>
    <message>
        <source>Password too short (min 6 chars)</source>
        <translation>密码过短（至少6位）</translation>
    </message>
    <message>
        <source>Please input IP address</source>
        <translation>请输入新IP</translation>
    </message>
    <message>
        <source>The new IP address cannot be the same as the original one.</source>
        <translation>新IP地址不能与原始IP相同</translation>
    </message>
    <message>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>confirm</source>
        <translation>确认</translation>
    </message>
</context>
<context>
    <name>ORV_Window</name>
    <message>
        <source>Active Status</source>
        <translation>激活状态</translation>
    </message>
    <message>
        <source>Change Language</source>
        <translation>切换语言</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV文件 (*.csv)</translation>
    </message>
    <message>
        <source>Copy IP</source>
        <translation>复制IP</translation>
    </message>
    <message>
        <source>Copy row</source>
        <translation>复制整行</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>无法写入%1：%2</translation>
    </message>
    <message>
        <source>Device Restart</source>
        <translation>设备重启</translation>
    </message>
    <message>
        <source>Device did not accept IP change.</source>
        <translation>设备不接受IP更改</translation>
    </message>
    <message>
        <source>Device restart completed.</source>
        <translation>设备重启完成</translation>
    </message>
    <message>
        <source>Double-click the IP to enter the web page</source>
        <translation>双击IP进入web页面</translation>
    </message>
    <message>
        <source>Each part of the IP must be between 0 and 255.</source>
        <translation>IP地址超出范围0 ~ 255</translation>
    </message>
    <message>
        <source>Enter device active password</source>
        <translation>请设置设备初始密码</translation>
    </message>
    <message>
        <source>Export all devices to CSV</source>
        <translation>导出所有设备到CSV</translation>
    </message>
    <message>
        <source>Export all devices to CSV…</source>
        <translation>导出所有设备到CSV…</translation>
    </message>
    <message>
        <source>Failure</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>FirmwareVersion</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>IP changed successfully,device rebooting.....</source>
        <translation>IP修改成功，设备重启中......</translation>
    </message>
    <message>
        <source>Incorrect IPv4 address format.</source>
        <translation>请输入合法的IP地址</translation>
    </message>
    <message>
        <source>Initing</source>
        <translation>初始化中</translation>
    </message>
    <message>
        <source>Invalid Format</source>
        <translation>无效格式</translation>
    </message>
    <message>
        <source>Invalid IP</source>
        <translation>无效IP</translation>
    </message>
    <message>
        <source>Invalid IP Address</source>
        <translation>不合法IP地址</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>Next Page</source>
        <translation>下一页</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开主界面</translation>
    </message>
    <message>
        <source>Operation</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Password error, login device failed</source>
        <translation>密码错误，登录设备失败</translation>
    </message>
    <message>
        <source>Please enter a valid IPv4 address.</source>
        <translation>请输入合法的IP地址</translation>
    </message>
    <message>
        <source>Please select network</source>
        <translation>请选择网卡</translation>
    </message>
    <message>
        <source>Previous Page</source>
        <translation>上一页</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出程序</translation>
    </message>
    <message>
        <source>The version is low and does not support web functions</source>
        <translation>当前版本不支持web</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>总页数</translation>
    </message>
    <message>
        <source>Update IP</source>
        <translation>修改IP</translation>
    </message>
    <message>
        <source>device is already actived</source>
        <translation>设备已激活</translation>
    </message>
    <message>
        <source>device is not activated</source>
        <translation>设备未激活</translation>
    </message>
    <message>
        <source>device not open</source>
        <translation>设备未响应</translation>
    </message>
    <message>
        <source>device returned invalid data (no data field)</source>
        <translation>设备返回数据有误（没有data内容)</translation>
    </message>
    <message>
        <source>device returned invalid data (no login field)</source>
        <translation>设备返回数据有误（没有login内容）</translation>
    </message>
    <message>
        <source>A part starts with 0, which many programs read as an octal number.</source>
        <translation>地址的某一段以0开头，很多程序会把它当作八进制数。</translation>
    </message>
    <message>
        <source>Addresses 0.x.x.x stand for this network, not for a device.</source>
        <translation>0.x.x.x 地址表示本网络，不能分配给设备。</translation>
    </message>
    <message>
        <source>Addresses 127.x.x.x are loopback addresses.</source>
        <translation>127.x.x.x 是回环地址。</translation>
    </message>
    <message>
        <source>Addresses 169.254.x.x are link-local: devices take them by themselves.</source>
        <translation>169.254.x.x 是链路本地地址，由设备自行获取。</translation>
    </message>
    <message>
        <source>Addresses 224.x.x.x to 239.x.x.x are multicast groups.</source>
        <translation>224.x.x.x 到 239.x.x.x 是组播地址。</translation>
    </message>
    <message>
        <source>Addresses 240.x.x.x and above are reserved.</source>
        <translation>240.x.x.x 及以上地址为保留地址。</translation>
    </message>
    <message>
        <source>It is the network address of its /24 (the last part is 0).</source>
        <translation>这是其 /24 网段的网络地址（最后一段为0）。</translation>
    </message>
    <message>
        <source>It is the broadcast address of its /24 (the last part is 255).</source>
        <translation>这是其 /24 网段的广播地址（最后一段为255）。</translation>
    </message>
    <message>
        <source>%1 is in use by %2 (%3).</source>
        <translation>%1 已被 %2（%3）使用。</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not all of the data could be written.</source>
        <translation>未能写入全部数据。</translation>
    </message>
    <message>
        <source>%1 devices answer at this address; they are told apart by their serial number (Device ID).</source>
        <translation>%1 台设备在此地址应答；它们以序列号（Device ID）区分。</translation>
    </message>
    <message>
        <source>No IPv4 address</source>
        <translation>无IPv4地址</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Tarnvale_Managesystem</source>
        <translation>Tarnvale管理系统</translation>
    </message>
</context>
<context>
    <name>Tarnvale_Managesystem</name>
    <message>
        <source>Tarnvale_Window</source>
        <translation>Tarnvale管理系统</translation>
    </message>
    <message>
        <source>Change Language</source>
        <translation>切换语言</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Select Network Card:</source>
        <translation>请选择网卡：</translation>
    </message>
    <message>
        <source>state bar:</source>
        <translation>状态栏:</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Finds the networked devices on the local network with one multicast search on the chosen network card, and changes their addresses.
The toolkit&apos;s own options (-platform, -style, -reverse, ...) are passed on to it.</source>
        <translation>在所选网卡上以一次组播搜索查找局域网中的联网设备，并修改其地址。
工具包自身的选项（-platform、-style、-reverse 等）将传递给它。</translation>
    </message>
    <message>
        <source>Displays this help.</source>
        <translation>显示此帮助。</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>显示版本信息。</translation>
    </message>
</context>
</TS>
