<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>BatchDialog</name>
    <message>
        <source>Change addresses</source>
        <translation>修改地址</translation>
    </message>
    <message>
        <source>First address</source>
        <translation>起始地址</translation>
    </message>
    <message>
        <source>Order</source>
        <translation>顺序</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>As listed</source>
        <translation>按列表顺序</translation>
    </message>
    <message>
        <source>Only devices not yet activated</source>
        <translation>仅未激活的设备</translation>
    </message>
    <message>
        <source>Fill</source>
        <translation>填充</translation>
    </message>
    <message>
        <source>Load plan…</source>
        <translation>载入计划…</translation>
    </message>
    <message>
        <source>Check all</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Confirm password</source>
        <translation>确认密码</translation>
    </message>
    <message>
        <source>Save report…</source>
        <translation>保存报告…</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Cancelling once the device or the search in hand is done.</source>
        <translation>当前设备或当前搜索完成后即取消。</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>The plan %1 cannot be used: line %2: %3</source>
        <translation>计划 %1 无法使用：第 %2 行：%3</translation>
    </message>
    <message>
        <source>The plan %1 cannot be used: %2</source>
        <translation>计划 %1 无法使用：%2</translation>
    </message>
    <message>
        <source>Line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>These rows of %1 were left out:</source>
        <translation>%1 中的以下各行已略过：</translation>
    </message>
    <message>
        <source>The report was not saved.</source>
        <translation>报告未保存。</translation>
    </message>
    <message>
        <source>Load plan</source>
        <translation>载入计划</translation>
    </message>
    <message>
        <source>Plans (*.csv);;All files (*)</source>
        <translation>计划 (*.csv);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Save report</source>
        <translation>保存报告</translation>
    </message>
    <message>
        <source>Reports (*.csv *.json)</source>
        <translation>报告 (*.csv *.json)</translation>
    </message>
    <message>
        <source>Nothing was sent.</source>
        <translation>未发送任何内容。</translation>
    </message>
    <message>
        <source>The window is waiting for a device: apply again once it is done.</source>
        <translation>窗口正在等待设备：完成后请再次应用。</translation>
    </message>
    <message>
        <source>Verifying: %1 of %2 devices answer at their new address; %3 s left.</source>
        <translation>正在验证：%2 台设备中已有 %1 台在新地址应答；剩余 %3 秒。</translation>
    </message>
    <message>
        <source>Changing addresses: %1 of %2 devices done.</source>
        <translation>正在修改地址：已完成 %1/%2 台设备。</translation>
    </message>
    <message>
        <source>Cancelled.</source>
        <translation>已取消。</translation>
    </message>
    <message>
        <source>%1 of %2 devices changed, %3 verified at their new address.</source>
        <translation>%2 台设备中已修改 %1 台，其中 %3 台已在新地址验证。</translation>
    </message>
    <message>
        <source>To change more addresses, close this dialog and open it again.</source>
        <translation>如需修改更多地址，请关闭此对话框后重新打开。</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>New address</source>
        <translation>新地址</translation>
    </message>
    <message>
        <source>Road</source>
        <translation>方式</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>检查</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>No new address: left as it is.</source>
        <translation>无新地址：保持不变。</translation>
    </message>
    <message>
        <source>Devices that Apply changes: %1.</source>
        <translation>应用将修改的设备：%1 台。</translation>
    </message>
    <message>
        <source>Check the devices to change.</source>
        <translation>请勾选要修改的设备。</translation>
    </message>
    <message>
        <source>A checked row has a problem: see the Check column.</source>
        <translation>有已勾选的行存在问题：见“检查”列。</translation>
    </message>
    <message>
        <source>Nothing to change: give the checked devices a new address.</source>
        <translation>无需修改：请为已勾选的设备填写新地址。</translation>
    </message>
    <message>
        <source>Enter the password: it logs in to the devices and becomes the first password of those not yet activated.</source>
        <translation>请输入密码：用于登录设备，并作为未激活设备的初始密码。</translation>
    </message>
    <message>
        <source>The confirmation differs from the password.</source>
        <translation>确认密码与密码不一致。</translation>
    </message>
    <message>
        <source>Stop the run once the device in hand is done, and close? The report keeps every device done so far.</source>
        <translation>在完成当前设备后停止并关闭？报告会保留目前已完成的每台设备。</translation>
    </message>
    <message>
        <source>Close and lose the checks and new addresses entered here?</source>
        <translation>关闭并放弃此处勾选的设备和输入的新地址？</translation>
    </message>
    <message>
        <source>Check: %1</source>
        <translation>检查：%1</translation>
    </message>
    <message>
        <source>Result: %1</source>
        <translation>结果：%1</translation>
    </message>
    <message>
        <source>Looking for hosts at the new addresses…</source>
        <translation>正在新地址上查找主机…</translation>
    </message>
    <message>
        <source>Cancelled. Nothing was sent.</source>
        <translation>已取消。未发送任何内容。</translation>
    </message>
    <message>
        <source>The run&apos;s report cannot be written, so nothing was sent.</source>
        <translation>无法写入本次运行的报告，因此未发送任何内容。</translation>
    </message>
    <message>
        <source>The run stopped: its report could not be written (%1).</source>
        <translation>运行已停止：无法写入其报告（%1）。</translation>
    </message>
    <message>
        <source>The report is in %1.</source>
        <translation>报告位于 %1。</translation>
    </message>
    <message>
        <source>The first of the new addresses, for example 192.168.1.100</source>
        <translation>新地址中的第一个，例如 192.168.1.100</translation>
    </message>
</context>
<context>
    <name>Commissioning</name>
    <message>
        <source>a row is not an object</source>
        <translation>某一行不是对象</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is missing or not a text</source>
        <translation>“%1”缺失或不是文本</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is missing or not a number</source>
        <translation>“%1”缺失或不是数字</translation>
    </message>
    <message>
        <source>the header is not &quot;%1&quot;</source>
        <translation>表头不是“%1”</translation>
    </message>
    <message>
        <source>not an array of report rows</source>
        <translation>不是报告行的数组</translation>
    </message>
    <message>
        <source>not JSON</source>
        <translation>不是 JSON</translation>
    </message>
    <message>
        <source>text after the array of report rows</source>
        <translation>报告行数组之后还有文本</translation>
    </message>
    <message>
        <source>The report %1 exists already; a report is never written over: choose another name.</source>
        <translation>报告 %1 已存在；报告绝不会被覆盖：请换一个文件名。</translation>
    </message>
    <message>
        <source>The report %1 could not be created:</source>
        <translation>无法创建报告 %1：</translation>
    </message>
    <message>
        <source>The report %1 could not be written:</source>
        <translation>无法写入报告 %1：</translation>
    </message>
    <message>
        <source>The report %1 could not be saved to the disk:</source>
        <translation>无法将报告 %1 保存到磁盘：</translation>
    </message>
    <message>
        <source>The report %1 could not be replaced by its final form:</source>
        <translation>无法用最终格式替换报告 %1：</translation>
    </message>
    <message>
        <source>The folder of the report %1 could not be saved to the disk:</source>
        <translation>无法将报告 %1 所在的文件夹保存到磁盘：</translation>
    </message>
    <message>
        <source>The report %1 must end in .csv or .json.</source>
        <translation>报告 %1 的扩展名必须是 .csv 或 .json。</translation>
    </message>
    <message>
        <source>The file %1 exists and is no report; it is never written over: choose another name.</source>
        <translation>文件 %1 已存在且不是报告；它绝不会被覆盖：请换一个文件名。</translation>
    </message>
    <message>
        <source>The report %1 exists already and records another plan; a report is never written over: choose another name.</source>
        <translation>报告 %1 已存在且记录的是另一个计划；报告绝不会被覆盖：请换一个文件名。</translation>
    </message>
    <message>
        <source>a report ends in .csv or .json</source>
        <translation>报告的扩展名为 .csv 或 .json</translation>
    </message>
    <message>
        <source>larger than %1 MiB: not a report</source>
        <translation>大于 %1 MiB：不是报告</translation>
    </message>
    <message>
        <source>expected %1 cells, found %2</source>
        <translation>应有 %1 个单元格，实际为 %2 个</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no plan line</source>
        <translation>“%1”不是计划中的行号</translation>
    </message>
    <message>
        <source>empty serial number</source>
        <translation>序列号为空</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no result of a run</source>
        <translation>“%1”不是运行结果</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no verification of a run</source>
        <translation>“%1”不是运行的核验结果</translation>
    </message>
    <message>
        <source>serial number %1 is already on line %2</source>
        <translation>序列号 %1 已在第 %2 行出现</translation>
    </message>
    <message>
        <source>login+netcfg</source>
        <translation>登录+netcfg</translation>
    </message>
    <message>
        <source>activate+netcfg</source>
        <translation>激活+netcfg</translation>
    </message>
    <message>
        <source>plan line %1 is already in the report</source>
        <translation>计划第 %1 行已在报告中</translation>
    </message>
</context>
<context>
    <name>LinkFailure</name>
    <message>
        <source>It is held by tarnvale-manager (the window), process %1.</source>
        <translation>占用它的是 tarnvale-manager（窗口程序），进程号 %1。</translation>
    </message>
    <message>
        <source>It is held by tarnvale-cli (the command line), process %1.</source>
        <translation>占用它的是 tarnvale-cli（命令行程序），进程号 %1。</translation>
    </message>
    <message>
        <source>It is held by %1, process %2.</source>
        <translation>占用它的是 %1，进程号 %2。</translation>
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
        <source>The network card &quot;%1&quot; does not exist (any more), so nothing was sent.</source>
        <translation>网卡“%1”不存在（或已被移除），因此没有发送任何数据。</translation>
    </message>
    <message>
        <source>The network card &quot;%1&quot; has no IPv4 address, so nothing was sent.</source>
        <translation>网卡“%1”没有IPv4地址，因此没有发送任何数据。</translation>
    </message>
    <message>
        <source>The multicast group 239.0.0.100 cannot be used on the network card &quot;%1&quot; (%2), so nothing was sent.</source>
        <translation>无法在网卡“%1”上使用组播组239.0.0.100（%2），因此没有发送任何数据。</translation>
    </message>
    <message>
        <source>Network unreachable: check that the chosen network card is connected and has an IPv4 address.</source>
        <translation>网络不可达：请检查所选网卡是否已连接并具有IPv4地址。</translation>
    </message>
    <message>
        <source>Network error: %1</source>
        <translation>网络错误：%1</translation>
    </message>
    <message>
        <source>Replies lost during the search: %1. The system dropped them because its receive buffer (%2 bytes) was full, so the list may be incomplete. Raise its limit with &quot;sudo sysctl -w net.core.rmem_max=%3&quot; and search again.</source>
        <translation>搜索期间丢失的回复：%1 个。系统的接收缓冲区（%2 字节）已满，因此丢弃了这些回复，设备列表可能不完整。请用“sudo sysctl -w net.core.rmem_max=%3”提高上限后重新搜索。</translation>
    </message>
</context>
<context>
    <name>NetworkDoctor</name>
    <message>
        <source>card</source>
        <translation>网卡</translation>
    </message>
    <message>
        <source>route</source>
        <translation>路由</translation>
    </message>
    <message>
        <source>port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>firewall</source>
        <translation>防火墙</translation>
    </message>
    <message>
        <source>rp_filter</source>
        <translation>反向路径过滤</translation>
    </message>
    <message>
        <source>wifi</source>
        <translation>无线网络</translation>
    </message>
    <message>
        <source>vm</source>
        <translation>虚拟机</translation>
    </message>
    <message>
        <source>search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>problem</source>
        <translation>问题</translation>
    </message>
    <message>
        <source>There is no network card named %1 (known: %2). Fix: choose the card that is cabled to the devices.</source>
        <translation>没有名为%1的网卡（已知：%2）。解决：选择与设备相连的网卡。</translation>
    </message>
    <message>
        <source>%1 is the loopback interface: it reaches no device. Fix: choose the card that is cabled to the devices.</source>
        <translation>%1是回环接口，无法到达任何设备。解决：选择与设备相连的网卡。</translation>
    </message>
    <message>
        <source>%1 is down. Fix: sudo ip link set %1 up</source>
        <translation>%1未启用。解决：sudo ip link set %1 up</translation>
    </message>
    <message>
        <source>%1 has no link. Fix: check its cable and the switch port it goes to.</source>
        <translation>%1没有连接。解决：检查网线及其所连接的交换机端口。</translation>
    </message>
    <message>
        <source>%1 cannot multicast. Fix: sudo ip link set %1 multicast on</source>
        <translation>%1不支持组播。解决：sudo ip link set %1 multicast on</translation>
    </message>
    <message>
        <source>%1 is up with %2 and can multicast</source>
        <translation>%1已启用，地址为%2，支持组播</translation>
    </message>
    <message>
        <source>239.0.0.100 is routed through %1</source>
        <translation>239.0.0.100经由%1路由</translation>
    </message>
    <message>
        <source>UDP port 10088 is free</source>
        <translation>UDP端口10088空闲</translation>
    </message>
    <message>
        <source>firewalld is running, but the zone of %1 could not be read (%2). Check by hand: sudo firewall-cmd --list-all</source>
        <translation>firewalld正在运行，但无法读取%1所在的区域（%2）。请手动检查：sudo firewall-cmd --list-all</translation>
    </message>
    <message>
        <source>firewalld&apos;s zone %1 does not let UDP to port 10088 in. Fix: sudo firewall-cmd --permanent --zone=%1 --add-port=10088/udp &amp;&amp; sudo firewall-cmd --reload</source>
        <translation>firewalld的区域%1不放行发往端口10088的UDP数据。解决：sudo firewall-cmd --permanent --zone=%1 --add-port=10088/udp &amp;&amp; sudo firewall-cmd --reload</translation>
    </message>
    <message>
        <source>The reverse-path filter of %1 could not be read. Check by hand: sysctl net.ipv4.conf.all.rp_filter net.ipv4.conf.%1.rp_filter</source>
        <translation>无法读取%1的反向路径过滤设置。请手动检查：sysctl net.ipv4.conf.all.rp_filter net.ipv4.conf.%1.rp_filter</translation>
    </message>
    <message>
        <source>reverse-path filtering lets the replies in (all=%1, %2=%3)</source>
        <translation>反向路径过滤放行设备的回复（all=%1，%2=%3）</translation>
    </message>
    <message>
        <source>%1 is not a wireless card</source>
        <translation>%1不是无线网卡</translation>
    </message>
    <message>
        <source>%1 is a wireless card: access points often filter multicast, so the search may not reach the devices. Fix: use a cabled card, or let the access point forward multicast.</source>
        <translation>%1是无线网卡：无线接入点常会过滤组播，搜索可能到达不了设备。解决：改用有线网卡，或让接入点转发组播。</translation>
    </message>
    <message>
        <source>%2 is the address of a virtual machine&apos;s NAT (%1): multicast does not cross NAT. Fix: put the virtual network adapter in bridged mode on the devices&apos; network.</source>
        <translation>%2是虚拟机NAT网络的地址（%1）：组播无法穿过NAT。解决：将虚拟网卡设为桥接模式，接入设备所在的网络。</translation>
    </message>
    <message>
        <source>not a virtual machine</source>
        <translation>不是虚拟机</translation>
    </message>
    <message>
        <source>a virtual machine (%1), but its address does not look like NAT: its adapter seems to be bridged</source>
        <translation>是虚拟机（%1），但其地址不像NAT地址：虚拟网卡应为桥接模式</translation>
    </message>
    <message>
        <source>%1 devices answered</source>
        <translation>%1台设备应答</translation>
    </message>
    <message>
        <source>No device answered the search on %1. Fix: see the findings above, and check that the devices are powered and on the network of %1.</source>
        <translation>%1上的搜索没有任何设备应答。解决：参见上面的检查结果，并确认设备已通电且位于%1所在的网络中。</translation>
    </message>
    <message>
        <source>No search made: the card cannot be used.</source>
        <translation>未进行搜索：该网卡无法使用。</translation>
    </message>
    <message>
        <source>The search failed: %1</source>
        <translation>搜索失败：%1</translation>
    </message>
    <message>
        <source>There is no network card but the loopback interface (known: %1). Fix: connect the card that is cabled to the devices.</source>
        <translation>除回环接口外没有任何网卡（已知：%1）。解决：连接与设备相连的网卡。</translation>
    </message>
    <message>
        <source>%1 has no IPv4 address, so nothing can be sent through it; give it a free address of the devices&apos; subnet (ADDRESS) with that subnet&apos;s prefix length (PREFIX). Fix: sudo ip addr add ADDRESS/PREFIX dev %1</source>
        <translation>%1没有IPv4地址，无法通过它发送任何数据；请为其设置设备所在子网中一个空闲的地址（ADDRESS）及该子网的前缀长度（PREFIX）。解决：sudo ip addr add ADDRESS/PREFIX dev %1</translation>
    </message>
    <message>
        <source>The route to 239.0.0.100 could not be read (%1). The search still leaves through %2, which it chooses itself.</source>
        <translation>无法读取通往239.0.0.100的路由（%1）。搜索仍会从本程序自行选择的%2发出。</translation>
    </message>
    <message>
        <source>No route leads to 239.0.0.100 (%2). The search still leaves through %1, which it chooses itself; for other programs, Fix: %3</source>
        <translation>没有通往239.0.0.100的路由（%2）。搜索仍会从本程序自行选择的%1发出；如需其他程序也经由此网卡，解决：%3</translation>
    </message>
    <message>
        <source>239.0.0.100 is routed through %2, not %1. The search still leaves through %1, which it chooses itself; for other programs, Fix: %3</source>
        <translation>239.0.0.100经由%2而非%1路由。搜索仍会从本程序自行选择的%1发出；如需其他程序也经由此网卡，解决：%3</translation>
    </message>
    <message>
        <source>UDP port 10088 is held by %1 (process %2), which then gets the devices&apos; replies: close that program, or end it. Fix: kill %2</source>
        <translation>UDP端口10088被%1（进程%2）占用，设备的回复会被它收走：请关闭或结束该程序。解决：kill %2</translation>
    </message>
    <message>
        <source>UDP port 10088 is held by a program of user %1, which only root can name (sudo ss -ulpn &apos;sport = :10088&apos;): close it, or end it. Fix: sudo fuser -k 10088/udp</source>
        <translation>UDP端口10088被用户%1的某个程序占用，只有root才能查出是哪个程序（sudo ss -ulpn &apos;sport = :10088&apos;）：请关闭或结束它。解决：sudo fuser -k 10088/udp</translation>
    </message>
    <message>
        <source>%1 may drop UDP to port 10088 (%2), the devices&apos; replies, depending on conditions that cannot be judged here. To be sure, Fix: %3</source>
        <translation>%1可能丢弃发往端口10088的UDP数据（%2），即设备的回复，取决于此处无法判断的条件。为确保放行，解决：%3</translation>
    </message>
    <message>
        <source>%1 may drop the search, UDP to port 10086 (%2), depending on conditions that cannot be judged here. To be sure, Fix: %3</source>
        <translation>%1可能丢弃搜索请求，即发往端口10086的UDP数据（%2），取决于此处无法判断的条件。为确保放行，解决：%3</translation>
    </message>
    <message>
        <source>%1 drops UDP to port 10088 (%2), the devices&apos; replies. Fix: %3</source>
        <translation>%1丢弃发往端口10088的UDP数据（%2），即设备的回复。解决：%3</translation>
    </message>
    <message>
        <source>%1 drops the search, UDP to port 10086 (%2), before it leaves. Fix: %3</source>
        <translation>%1在搜索请求发出前将其丢弃，即发往端口10086的UDP数据（%2）。解决：%3</translation>
    </message>
    <message>
        <source>The firewall rules could not be read (%1). Check by hand that nothing drops UDP to port 10088 or 10086: sudo nft list ruleset, sudo iptables -S</source>
        <translation>无法读取防火墙规则（%1）。请手动检查没有规则丢弃发往端口10088或10086的UDP数据：sudo nft list ruleset、sudo iptables -S</translation>
    </message>
    <message>
        <source>no rule drops the search or its replies (read: %1)</source>
        <translation>没有规则丢弃搜索请求或其回复（已读取：%1）</translation>
    </message>
    <message>
        <source>Reverse-path filtering (all=%1, %2=%3) drops the replies that reach %2 even from its own subnet %4: the kernel routes the answers to them through another card (ip rule, ip route show table all). Fix: %5</source>
        <translation>反向路径过滤（all=%1，%2=%3）连%2自身子网%4内设备的回复也会丢弃：内核经由另一块网卡路由发往它们的数据（ip rule、ip route show table all）。解决：%5</translation>
    </message>
    <message>
        <source>Reverse-path filtering (all=%1, %2=%3) dropped %6 replies during the search: those of devices outside %4, to which no route leads back through %2. A route to their subnet (SUBNET) through %2 would let them in as well: sudo ip route add SUBNET dev %2. Fix: %5</source>
        <translation>搜索期间反向路径过滤（all=%1，%2=%3）丢弃了%6个回复：来自%4以外、没有经由%2返回的路由的设备。经由%2通往其子网（SUBNET）的路由同样可以放行：sudo ip route add SUBNET dev %2。解决：%5</translation>
    </message>
    <message>
        <source>Reverse-path filtering (all=%1, %2=%3) drops the replies of devices outside %4, to which no route leads back through %2. A route to their subnet (SUBNET) through %2 would let them in as well: sudo ip route add SUBNET dev %2. Fix: %5</source>
        <translation>反向路径过滤（all=%1，%2=%3）会丢弃%4以外、没有经由%2返回的路由的设备的回复。经由%2通往其子网（SUBNET）的路由同样可以放行：sudo ip route add SUBNET dev %2。解决：%5</translation>
    </message>
    <message>
        <source>%1 is not connected. Fix: check its cable and the switch port it goes to.</source>
        <translation>%1未连接。解决：检查其网线及所接的交换机端口。</translation>
    </message>
    <message>
        <source>%1 has no IPv4 address, so nothing can be sent through it; give it a free address of the devices&apos; subnet (ADDRESS) with that subnet&apos;s mask (MASK). Fix: netsh interface ipv4 set address name=&quot;%1&quot; static ADDRESS MASK</source>
        <translation>%1没有IPv4地址，无法经它发送任何数据；请给它一个设备所在子网中的空闲地址（ADDRESS）及该子网的掩码（MASK）。解决：netsh interface ipv4 set address name=&quot;%1&quot; static ADDRESS MASK</translation>
    </message>
    <message>
        <source>%1 cannot multicast. Fix: choose a cabled Ethernet card on the devices&apos; network.</source>
        <translation>%1不能组播。解决：选择连接到设备网络的有线以太网卡。</translation>
    </message>
    <message>
        <source>UDP port 10088 is held by %1 (process %2), which then gets the devices&apos; replies: close that program, or end it. Fix: taskkill /PID %2 /F</source>
        <translation>UDP端口10088被%1（进程%2）占用，设备的回复会被它收走：请关闭或结束该程序。解决：taskkill /PID %2 /F</translation>
    </message>
    <message>
        <source>UDP port 10088 is held by process %1, which then gets the devices&apos; replies: close that program, or end it. Fix: taskkill /PID %1 /F</source>
        <translation>UDP端口10088被进程%1占用，设备的回复会被它收走：请关闭或结束该程序。解决：taskkill /PID %1 /F</translation>
    </message>
    <message>
        <source>Windows Firewall could not be read (%1). Check by hand that it lets UDP to port 10088 in: netsh advfirewall show currentprofile; netsh advfirewall firewall show rule name=all dir=in</source>
        <translation>无法读取Windows防火墙（%1）。请手动检查它是否放行到端口10088的UDP：netsh advfirewall show currentprofile; netsh advfirewall firewall show rule name=all dir=in</translation>
    </message>
    <message>
        <source>Windows Firewall is off in the %1 profile</source>
        <translation>Windows防火墙在%1配置文件中已关闭</translation>
    </message>
    <message>
        <source>Windows Firewall blocks all incoming connections in the %1 profile, whatever its rules allow, and so the devices&apos; replies (UDP to port 10088). Fix: netsh advfirewall set %2 firewallpolicy blockinbound,allowoutbound</source>
        <translation>Windows防火墙在%1配置文件中阻止所有传入连接，无论其规则允许什么，因此也阻止设备的回复（到端口10088的UDP）。解决：netsh advfirewall set %2 firewallpolicy blockinbound,allowoutbound</translation>
    </message>
    <message>
        <source>Windows Firewall&apos;s rule &quot;%2&quot; (%1 profile) may block UDP to port 10088, the devices&apos; replies, depending on the sender or the card. A block rule wins over every allow rule. To be sure, Fix: %3</source>
        <translation>Windows防火墙规则“%2”（%1配置文件）可能阻止到端口10088的UDP，即设备的回复，取决于发送方或网卡。阻止规则优先于所有允许规则。为确保无误，解决：%3</translation>
    </message>
    <message>
        <source>Windows Firewall&apos;s rule &quot;%2&quot; (%1 profile) blocks UDP to port 10088, the devices&apos; replies; a block rule wins over every allow rule. Fix: %3</source>
        <translation>Windows防火墙规则“%2”（%1配置文件）阻止到端口10088的UDP，即设备的回复；阻止规则优先于所有允许规则。解决：%3</translation>
    </message>
    <message>
        <source>Windows Firewall (%1 profile) lets UDP to port 10088, the devices&apos; replies, in only by the rule &quot;%2&quot;, which depends on the sender or the card. To be sure, Fix: %3</source>
        <translation>Windows防火墙（%1配置文件）仅通过规则“%2”放行到端口10088的UDP（设备的回复），而该规则取决于发送方或网卡。为确保无误，解决：%3</translation>
    </message>
    <message>
        <source>Windows Firewall (%1 profile) blocks UDP to port 10088, the devices&apos; replies: no rule lets them in. Fix: %2</source>
        <translation>Windows防火墙（%1配置文件）阻止到端口10088的UDP，即设备的回复：没有规则放行它们。解决：%2</translation>
    </message>
    <message>
        <source>Windows Firewall (%1 profile) lets in what no rule blocks</source>
        <translation>Windows防火墙（%1配置文件）放行所有未被规则阻止的数据</translation>
    </message>
    <message>
        <source>Windows Firewall (%1 profile) lets UDP to port 10088 in by the rule &quot;%2&quot;</source>
        <translation>Windows防火墙（%1配置文件）通过规则“%2”放行到端口10088的UDP</translation>
    </message>
</context>
<context>
    <name>ORV_CONN2DEVICE</name>
    <message>
        <source>Timeout,Please try again!</source>
        <translation>超时，请重试！</translation>
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
        <source>Ready to change.</source>
        <translation>可以修改。</translation>
    </message>
    <message>
        <source>Already at its new address.</source>
        <translation>已在新地址上。</translation>
    </message>
    <message>
        <source>%1 was not found in the search.</source>
        <translation>搜索中未找到 %1。</translation>
    </message>
    <message>
        <source>%1 answers at %2 and at %3: the devices cannot be told apart, so neither is changed.</source>
        <translation>%1 在 %2 和 %3 上都有应答：无法区分这些设备，因此都不修改。</translation>
    </message>
    <message>
        <source>%1 is also planned on line %2.</source>
        <translation>%1 也在第 %2 行中计划。</translation>
    </message>
    <message>
        <source>Lines %1 take each other&apos;s addresses. Swaps are refused: move one of these devices to a free address first.</source>
        <translation>第 %1 行互相占用对方的地址。不支持互换：请先将其中一台设备改到空闲地址。</translation>
    </message>
    <message>
        <source>A host that is not a device answers at %1.</source>
        <translation>%1 上有一台非设备的主机应答。</translation>
    </message>
    <message>
        <source>verified</source>
        <translation>已验证</translation>
    </message>
    <message>
        <source>kept old address</source>
        <translation>仍为旧地址</translation>
    </message>
    <message>
        <source>not seen</source>
        <translation>未发现</translation>
    </message>
    <message>
        <source>seen elsewhere</source>
        <translation>出现在其他地址</translation>
    </message>
    <message>
        <source>pending</source>
        <translation>等待中</translation>
    </message>
    <message>
        <source>started</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>planned</source>
        <translation>已计划</translation>
    </message>
    <message>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>conflict</source>
        <translation>冲突</translation>
    </message>
    <message>
        <source>not run</source>
        <translation>未执行</translation>
    </message>
    <message>
        <source>%1 lies outside every IPv4 subnet of %2: its web page will need a route.</source>
        <translation>%1 不在 %2 的任何 IPv4 子网内：访问其网页需要路由。</translation>
    </message>
    <message>
        <source>%1 to %2 offers %3 free addresses, but %4 devices need one.</source>
        <translation>%1 至 %2 只有 %3 个空闲地址，但有 %4 台设备需要地址。</translation>
    </message>
    <message>
        <source>The range is empty: %2 comes before %1.</source>
        <translation>地址范围为空：%2 在 %1 之前。</translation>
    </message>
    <message>
        <source>No device of the search matches the choice.</source>
        <translation>搜索到的设备中没有符合条件的设备。</translation>
    </message>
    <message>
        <source>Would log in, then change the address.</source>
        <translation>将登录，然后修改地址。</translation>
    </message>
    <message>
        <source>Would activate, then change the address.</source>
        <translation>将激活，然后修改地址。</translation>
    </message>
    <message>
        <source>Activated (its password is set now), but the address was not changed: %1</source>
        <translation>已激活（密码已设置），但地址未修改：%1</translation>
    </message>
    <message>
        <source>The reply was lost, but the device answers at its new address.</source>
        <translation>回复丢失，但设备已在新地址上应答。</translation>
    </message>
    <message>
        <source>The change was under way: look for the device at both addresses.</source>
        <translation>修改进行中：请在新旧两个地址上查找该设备。</translation>
    </message>
    <message>
        <source>The run stopped before this device.</source>
        <translation>执行在此设备之前已停止。</translation>
    </message>
    <message>
        <source>It answers at %1.</source>
        <translation>它在 %1 上应答。</translation>
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
    <message>
        <source>text after a closing quote</source>
        <translation>右引号后还有文字</translation>
    </message>
    <message>
        <source>a quoted cell is not closed</source>
        <translation>引号中的单元格没有结束</translation>
    </message>
    <message>
        <source>not text (a NUL byte)</source>
        <translation>不是文本（含有NUL字节）</translation>
    </message>
    <message>
        <source>not UTF-8 text</source>
        <translation>不是UTF-8文本</translation>
    </message>
    <message>
        <source>larger than %1 bytes: not a plan</source>
        <translation>大于%1字节：不是计划文件</translation>
    </message>
    <message>
        <source>the header must be sn,new_ip or sn,new_ip,password, in this order</source>
        <translation>表头必须依次为 sn,new_ip 或 sn,new_ip,password</translation>
    </message>
    <message>
        <source>expected sn,new_ip[,password], found %1 cells</source>
        <translation>应为 sn,new_ip[,password]，实际有 %1 个单元格</translation>
    </message>
    <message>
        <source>empty serial number</source>
        <translation>序列号为空</translation>
    </message>
    <message>
        <source>the second cell is not an IPv4 address (digits and dots)</source>
        <translation>第二列不是IPv4地址（只能有数字和点）</translation>
    </message>
    <message>
        <source>serial number %1 is already planned on line %2</source>
        <translation>序列号 %1 已在第 %2 行中计划</translation>
    </message>
    <message>
        <source>address %1 is already planned on line %2</source>
        <translation>地址 %1 已在第 %2 行中计划</translation>
    </message>
    <message>
        <source>the plan holds no device</source>
        <translation>计划中没有设备</translation>
    </message>
    <message>
        <source>Change addresses…</source>
        <translation>修改地址…</translation>
    </message>
    <message>
        <source>Looking for the usual causes…</source>
        <translation>正在查找常见原因…</translation>
    </message>
    <message>
        <source>Another device request is still under way: try again once it is done.</source>
        <translation>另一个设备请求仍在进行中：请在其完成后重试。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>No reply to the activation, which may have taken effect: the device then has the password. Run the same again to go on: an activated device is logged in to.</source>
        <translation>激活没有回复，但激活可能已经生效：那样设备已设置该密码。再次运行同样的命令即可继续：对已激活的设备会改为登录。</translation>
    </message>
    <message>
        <source>expected a serial number and a password</source>
        <translation>应为一个序列号和一个密码</translation>
    </message>
    <message>
        <source>serial number %1 is named twice</source>
        <translation>序列号 %1 出现了两次</translation>
    </message>
    <message>
        <source>no password in it: the columns are sn,password or sn,new_ip,password</source>
        <translation>其中没有密码：列应为 sn,password 或 sn,new_ip,password</translation>
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
    <name>SingleInstance</name>
    <message>
        <source>Tarnvale Manager is already running for the user %1 on this computer, and only one can run at a time. Ask %1 to close it, or use it in their session.</source>
        <translation>Tarnvale Manager 已由本机用户 %1 运行，同一时间只能运行一个。请 %1 将其关闭，或在其会话中使用。</translation>
    </message>
    <message>
        <source>Tarnvale Manager cannot start: it ran last for the user %1 and ended without releasing its lock. An administrator can remove the lock with: sudo ipcrm -m %2</source>
        <translation>Tarnvale Manager 无法启动：它上次由用户 %1 运行，退出时未释放其锁。管理员可用以下命令删除该锁：sudo ipcrm -m %2</translation>
    </message>
    <message>
        <source>Tarnvale Manager is already running on this computer, for another user or as administrator, and only one can run at a time. Close it there first.</source>
        <translation>Tarnvale Manager 已在本机上由其他用户或以管理员身份运行，同一时间只能运行一个。请先在那里将其关闭。</translation>
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
