<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>Form1</name>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>串口已关闭</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>串口已打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>正在连接...</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <source>保存到文件</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>文本文件 (*.txt);;所有文件 (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>保存到文件…</source>
        <translation>Save to file…</translation>
    </message>
    <message>
        <source>显示时间戳</source>
        <translation>Show time stamps</translation>
    </message>
    <message>
        <source>第一路</source>
        <translation>Ch 1</translation>
    </message>
    <message>
        <source>第二路</source>
        <translation>Ch 2</translation>
    </message>
    <message>
        <source>第三路</source>
        <translation>Ch 3</translation>
    </message>
    <message>
        <source>第四路</source>
        <translation>Ch 4</translation>
    </message>
    <message>
        <source>第五路</source>
        <translation>Ch 5</translation>
    </message>
    <message>
        <source>第六路</source>
        <translation>Ch 6</translation>
    </message>
    <message>
        <source>第七路</source>
        <translation>Ch 7</translation>
    </message>
    <message>
        <source>第八路</source>
        <translation>Ch 8</translation>
    </message>
    <message>
        <source>第一路：</source>
        <translation>Ch 1:</translation>
    </message>
    <message>
        <source>第二路：</source>
        <translation>Ch 2:</translation>
    </message>
    <message>
        <source>第三路：</source>
        <translation>Ch 3:</translation>
    </message>
    <message>
        <source>第四路：</source>
        <translation>Ch 4:</translation>
    </message>
    <message>
        <source>第五路：</source>
        <translation>Ch 5:</translation>
    </message>
    <message>
        <source>第六路：</source>
        <translation>Ch 6:</translation>
    </message>
    <message>
        <source>第七路：</source>
        <translation>Ch 7:</translation>
    </message>
    <message>
        <source>第八路：</source>
        <translation>Ch 8:</translation>
    </message>
    <message>
        <source>0.1秒</source>
        <translation>0.1 s</translation>
    </message>
    <message>
        <source>*100ms(毫秒)为单位延时时间(例如,输入10:1秒;输入100:10秒)，支持的范围：1～65535,可手动输入</source>
        <translation>*Times in units of 100 ms (10 is 1 s, 100 is 10 s), 1 to 65535; pick one or type it</translation>
    </message>
    <message>
        <source>通讯波特率</source>
        <translation>Line baud rate</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>搜索模块</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>端口选择</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>模块属性</source>
        <translation>Module</translation>
    </message>
    <message>
        <source>模块地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>型号选择</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>正在读取...</source>
        <translation>Reading...</translation>
    </message>
    <message>
        <source>设置新波特率、地址</source>
        <translation>New baud rate, new address</translation>
    </message>
    <message>
        <source>新波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>新的地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>通道状态</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>读取状态</source>
        <translation>Read states</translation>
    </message>
    <message>
        <source>全部开启</source>
        <translation>All on</translation>
    </message>
    <message>
        <source>全部关闭</source>
        <translation>All off</translation>
    </message>
    <message>
        <source>点动吸合</source>
        <translation>Jog on</translation>
    </message>
    <message>
        <source>全部自动断开时间设置为：</source>
        <translation>Jog time for all:</translation>
    </message>
    <message>
        <source>全部点动吸合</source>
        <translation>Jog all on</translation>
    </message>
    <message>
        <source>延时吸合</source>
        <translation>Delay on</translation>
    </message>
    <message>
        <source>延时关闭</source>
        <translation>Delay off</translation>
    </message>
    <message>
        <source>全部延时时间设置为：</source>
        <translation>Delay for all:</translation>
    </message>
    <message>
        <source>全部延时吸合</source>
        <translation>All delay on</translation>
    </message>
    <message>
        <source>全部延时关闭</source>
        <translation>All delay off</translation>
    </message>
    <message>
        <source>为方便演示，本软件以八路模块为列，实际根据通道个数自行选择。</source>
        <translation>An eight-channel module is shown: use the channels your module has.</translation>
    </message>
    <message>
        <source>打开选中、关闭未选中</source>
        <translation>Ticked on, rest off</translation>
    </message>
    <message>
        <source>接收区</source>
        <translation>Receive</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>已接收：</source>
        <translation>Bytes:</translation>
    </message>
    <message>
        <source>发送区</source>
        <translation>Send</translation>
    </message>
    <message>
        <source> 十六进制发送</source>
        <translation> Send as hex</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>CRC16计算</source>
        <translation>CRC-16</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>计算</source>
        <translation>Compute</translation>
    </message>
    <message>
        <source>软件名称</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <source>使用默认的波特率</source>
        <translation>Default baud</translation>
    </message>
    <message>
        <source>使用默认通讯端口</source>
        <translation>Default port</translation>
    </message>
    <message>
        <source>使用默认模块地址</source>
        <translation>Default address</translation>
    </message>
    <message>
        <source>（1-255）</source>
        <translation>(1-255)</translation>
    </message>
    <message>
        <source>读取地址默认模式</source>
        <translation>Address read</translation>
    </message>
    <message>
        <source>默认模块型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>开机自动运行程序</source>
        <translation>Start at log-on</translation>
    </message>
    <message>
        <source>启动时打开设定端口</source>
        <translation>Open port at start</translation>
    </message>
    <message>
        <source>启动时自动读取状态</source>
        <translation>Read states at start</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>发出数据:</source>
        <translation>Sent:</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>收到数据:</source>
        <translation>Received:</translation>
    </message>
    <message>
        <source>RS485/RS422控制继电器模块</source>
        <translation>RS485/RS422 relay modules</translation>
    </message>
    <message>
        <source>Quorvane（MODBUS协议）</source>
        <translation>Quorvane (MODBUS protocol)</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>System</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>单路控制</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>点动控制</source>
        <translation>Jog</translation>
    </message>
    <message>
        <source>延时控制</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>组合控制</source>
        <translation>Combined</translation>
    </message>
    <message>
        <source>协议测试</source>
        <translation>Console</translation>
    </message>
    <message>
        <source>名称设置</source>
        <translation>Names</translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation>System</translation>
    </message>
    <message>
        <source>     《地址1 MODBUS常用协议》</source>
        <translation>     Address 1: common MODBUS frames</translation>
    </message>
    <message>
        <source>01 05 00 00 FF 00 8C 3A              (第一路开)</source>
        <translation>01 05 00 00 FF 00 8C 3A              (channel 1 on)</translation>
    </message>
    <message>
        <source>01 05 00 00 00 00 CD CA             (第一路关)</source>
        <translation>01 05 00 00 00 00 CD CA             (channel 1 off)</translation>
    </message>
    <message>
        <source>01 0F 00 00 00 10 02 FF FF E3 90   (四路全开)</source>
        <translation>01 0F 00 00 00 10 02 FF FF E3 90   (four channels on)</translation>
    </message>
    <message>
        <source>01 0F 00 00 00 10 02 00 00 E2 20 (四路全关)</source>
        <translation>01 0F 00 00 00 10 02 00 00 E2 20 (four channels off)</translation>
    </message>
    <message>
        <source>01 01 00 00 00 10 3D C6           （读取状态）</source>
        <translation>01 01 00 00 00 10 3D C6           (read states)</translation>
    </message>
    <message>
        <source>      《地址1常用AT命令》</source>
        <translation>      Address 1: common AT commands</translation>
    </message>
    <message>
        <source>AT+OUT1+1=ON      (第一路开)</source>
        <translation>AT+OUT1+1=ON      (channel 1 on)</translation>
    </message>
    <message>
        <source>AT+OUT1+1=OFF     (第一路关)</source>
        <translation>AT+OUT1+1=OFF     (channel 1 off)</translation>
    </message>
    <message>
        <source>AT+ALLOUT+1=ON （四路全开）</source>
        <translation>AT+ALLOUT+1=ON   (four channels on)</translation>
    </message>
    <message>
        <source>AT+ALLOUT+1=OFF（四路全关）</source>
        <translation>AT+ALLOUT+1=OFF  (four channels off)</translation>
    </message>
    <message>
        <source>AT+STATUS+1=?      (继电器状态查询)</source>
        <translation>AT+STATUS+1=?      (relay states)</translation>
    </message>
    <message>
        <source>第 %1 个字符“%2”不是十六进制数字。</source>
        <translation>Character %1, “%2”, is not a hex digit. </translation>
    </message>
    <message>
        <source>第 %1 个字符“%2”缺少另一位：每个字节需两位十六进制数字。</source>
        <translation>Character %1, “%2”, lacks its second digit: a byte is two hex digits. </translation>
    </message>
    <message>
        <source>没有可计算的字节。</source>
        <translation>No whole byte to compute.</translation>
    </message>
    <message>
        <source> 读取到 %1 个模块</source>
        <translation> %1 modules found</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>全部功能</source>
        <translation>All functions</translation>
    </message>
    <message>
        <source>01 读线圈</source>
        <translation>01 read coils</translation>
    </message>
    <message>
        <source>02 读离散输入</source>
        <translation>02 read inputs</translation>
    </message>
    <message>
        <source>03 读保持寄存器</source>
        <translation>03 read registers</translation>
    </message>
    <message>
        <source>04 读输入寄存器</source>
        <translation>04 read input regs</translation>
    </message>
    <message>
        <source>05 写单线圈</source>
        <translation>05 write coil</translation>
    </message>
    <message>
        <source>06 写单寄存器</source>
        <translation>06 write register</translation>
    </message>
    <message>
        <source>0F 写多线圈</source>
        <translation>0F write coils</translation>
    </message>
    <message>
        <source>10 写多寄存器</source>
        <translation>10 write registers</translation>
    </message>
    <message>
        <source>30 延时吸合</source>
        <translation>30 delay on</translation>
    </message>
    <message>
        <source>31 全部延时吸合</source>
        <translation>31 all delay on</translation>
    </message>
    <message>
        <source>32 延时断开</source>
        <translation>32 delay off</translation>
    </message>
    <message>
        <source>33 全部延时断开</source>
        <translation>33 all delay off</translation>
    </message>
    <message>
        <source>34 点动</source>
        <translation>34 jog</translation>
    </message>
    <message>
        <source>35 全部点动</source>
        <translation>35 all jog</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>录制到文件</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Addr</translation>
    </message>
    <message>
        <source>只看错误</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>帧数：0</source>
        <translation>Frames: 0</translation>
    </message>
    <message>
        <source>总线监听</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>CSV (*.csv);;JSON Lines (*.jsonl);;pcap (*.pcap);;所有文件 (*)</source>
        <translation>CSV (*.csv);;JSON Lines (*.jsonl);;pcap (*.pcap);;All files (*)</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>停止录制</source>
        <translation>Stop rec.</translation>
    </message>
    <message>
        <source>帧数：%1</source>
        <translation>Frames: %1</translation>
    </message>
    <message>
        <source>（未发送：MODBUS TCP 端口只能发送 CRC 正确的 MODBUS 帧，文本和其他字节无法经网关传送）</source>
        <translation>(Not sent: a MODBUS TCP port carries only MODBUS frames with a right CRC; a gateway cannot pass text or other bytes)</translation>
    </message>
    <message>
        <source>地址框</source>
        <translation>Address box</translation>
    </message>
    <message>
        <source>地址范围</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>扫描总线</source>
        <translation>Scan bus</translation>
    </message>
    <message>
        <source>通讯</source>
        <translation>Comms</translation>
    </message>
    <message>
        <source>逐路开关</source>
        <translation>Each channel</translation>
    </message>
    <message>
        <source>全开全关</source>
        <translation>All on/off</translation>
    </message>
    <message>
        <source>组合花样</source>
        <translation>Patterns</translation>
    </message>
    <message>
        <source>定时功能</source>
        <translation>Timed</translation>
    </message>
    <message>
        <source>改地址和波特率</source>
        <translation>Address/baud</translation>
    </message>
    <message>
        <source>循环次数</source>
        <translation>Cycles</translation>
    </message>
    <message>
        <source>测试模块</source>
        <translation>Modules</translation>
    </message>
    <message>
        <source>开始测试</source>
        <translation>Start test</translation>
    </message>
    <message>
        <source>保存报告</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>模块测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>文本 (*.txt);;JUnit XML (*.xml);;JSON (*.json);;CSV (*.csv);;所有文件 (*)</source>
        <translation>Text (*.txt);;JUnit XML (*.xml);;JSON (*.json);;CSV (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>停止测试</source>
        <translation>Stop test</translation>
    </message>
    <message>
        <source>测试地址 %1</source>
        <translation>Testing address %1</translation>
    </message>
    <message>
        <source>扫描到地址 %1</source>
        <translation>Found address %1</translation>
    </message>
    <message>
        <source>剩余 %1 秒</source>
        <translation>%1 s left</translation>
    </message>
    <message>
        <source>地址 %1：无应答</source>
        <translation>Address %1: no answer</translation>
    </message>
    <message>
        <source>地址 %1：通过</source>
        <translation>Address %1: passed</translation>
    </message>
    <message>
        <source>地址 %1：未通过，%2 处错误</source>
        <translation>Address %1: failed, %2 faults</translation>
    </message>
    <message>
        <source>没有扫描到模块</source>
        <translation>No module found</translation>
    </message>
    <message>
        <source>串口故障：%1</source>
        <translation>Port failure: %1</translation>
    </message>
    <message>
        <source>测试已停止，所有继电器已断开</source>
        <translation>Test stopped, every relay off</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>应答有误</source>
        <translation>wrong answer</translation>
    </message>
    <message>
        <source>状态不符</source>
        <translation>wrong state</translation>
    </message>
    <message>
        <source>动作时间超差</source>
        <translation>timing out of tolerance</translation>
    </message>
    <message>
        <source>（第 %1 路）</source>
        <translation> (channel %1)</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>地址 %1，第 %2 轮，%3：%4</source>
        <translation>Address %1, cycle %2, %3: %4</translation>
    </message>
    <message>
        <source>  发送 %1  收到 %2</source>
        <translation>  sent %1  received %2</translation>
    </message>
    <message>
        <source>适配器回显</source>
        <translation>Adapter echo</translation>
    </message>
    <message>
        <source>自动识别</source>
        <translation>Detect</translation>
    </message>
    <message>
        <source>去除回显</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>无回显</source>
        <translation>None</translation>
    </message>
    <message>
        <source> （只有适配器回显，没有模块应答）</source>
        <translation> (only the adapter&apos;s echo came back: no module answered)</translation>
    </message>
    <message>
        <source> （适配器有回显，已去除）</source>
        <translation> (the adapter echoes: its copy is taken off)</translation>
    </message>
    <message>
        <source>诊断</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>线路诊断</source>
        <translation>Line check</translation>
    </message>
    <message>
        <source>此页已在新窗口中打开，关闭该窗口即回到这里。</source>
        <translation>This page is open in a window of its own; closing that window brings it back here.</translation>
    </message>
    <message>
        <source>线路设置</source>
        <translation>Line settings</translation>
    </message>
    <message>
        <source>新窗口</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>CSV</translation>
    </message>
    <message>
        <source>在新窗口中打开</source>
        <translation>New window</translation>
    </message>
    <message>
        <source>间隔(毫秒)</source>
        <translation>Pause (ms)</translation>
    </message>
    <message>
        <source>离线次数</source>
        <translation>Misses</translation>
    </message>
    <message>
        <source>总线总览</source>
        <translation>Overview</translation>
    </message>
    <message>
        <source>CSV (*.csv);;所有文件 (*)</source>
        <translation>CSV (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>在线</source>
        <translation>online</translation>
    </message>
    <message>
        <source>离线 %1</source>
        <translation>off since %1</translation>
    </message>
    <message>
        <source>全关</source>
        <translation>all off</translation>
    </message>
    <message>
        <source>开</source>
        <translation>on</translation>
    </message>
    <message>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <source>单击切换第 %1 路</source>
        <translation>Click to switch channel %1</translation>
    </message>
    <message>
        <source>型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>最后应答</source>
        <translation>Answer</translation>
    </message>
    <message>
        <source>未应答</source>
        <translation>Silent</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Bad</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>正在扫描地址 %1 …</source>
        <translation>Scanning address %1 …</translation>
    </message>
    <message>
        <source>轮询中：%1 个模块</source>
        <translation>Polling %1 modules</translation>
    </message>
    <message>
        <source>未轮询：串口未打开</source>
        <translation>Not polling: the port is closed</translation>
    </message>
    <message>
        <source>未轮询：模块测试中</source>
        <translation>Not polling: a module test runs</translation>
    </message>
    <message>
        <source>没有模块：请扫描总线或添加地址</source>
        <translation>No modules: scan the bus or add an address</translation>
    </message>
    <message>
        <source>未轮询</source>
        <translation>Not polling</translation>
    </message>
    <message>
        <source>停止扫描</source>
        <translation>Stop scan</translation>
    </message>
</context>
<context>
    <name>LineCheck</name>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>占用程序</source>
        <translation>Other programs</translation>
    </message>
    <message>
        <source>适配器</source>
        <translation>Adapter</translation>
    </message>
    <message>
        <source>延迟计时器</source>
        <translation>Latency timer</translation>
    </message>
    <message>
        <source>回显</source>
        <translation>Echo</translation>
    </message>
    <message>
        <source>线路错误</source>
        <translation>Line errors</translation>
    </message>
    <message>
        <source>空闲监听</source>
        <translation>Idle listen</translation>
    </message>
    <message>
        <source>模块</source>
        <translation>Module</translation>
    </message>
    <message>
        <source>应答时间</source>
        <translation>Answer times</translation>
    </message>
    <message>
        <source>读取结果</source>
        <translation>Reads</translation>
    </message>
    <message>
        <source>通过</source>
        <translation>pass</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>warning</translation>
    </message>
    <message>
        <source>故障</source>
        <translation>FAULT</translation>
    </message>
    <message>
        <source>未检查</source>
        <translation>not checked</translation>
    </message>
    <message>
        <source>不适用</source>
        <translation>n/a</translation>
    </message>
    <message>
        <source>此系统上无法检查</source>
        <translation>not available here</translation>
    </message>
    <message>
        <source>%1 可以打开</source>
        <translation>%1 opens</translation>
    </message>
    <message>
        <source>没有 %1 这个端口</source>
        <translation>%1 does not exist</translation>
    </message>
    <message>
        <source>没有权限打开 %1</source>
        <translation>no permission to open %1</translation>
    </message>
    <message>
        <source>%1 被其他程序占用</source>
        <translation>%1 is in use by another program</translation>
    </message>
    <message>
        <source>%1 无法打开：%2</source>
        <translation>%1 cannot be opened: %2</translation>
    </message>
    <message>
        <source>没有其他程序打开此端口</source>
        <translation>no other program holds the port</translation>
    </message>
    <message>
        <source>被 %1 打开</source>
        <translation>held by %1</translation>
    </message>
    <message>
        <source>网络端口：看不到网关一侧</source>
        <translation>a network port: the gateway&apos;s side is not seen</translation>
    </message>
    <message>
        <source>不是 USB 适配器</source>
        <translation>not a USB adapter</translation>
    </message>
    <message>
        <source>USB %1:%2 %3 %4，驱动 %5</source>
        <translation>USB %1:%2 %3 %4, driver %5</translation>
    </message>
    <message>
        <source>无需检查（不是 FTDI 类适配器）</source>
        <translation>none to check (not an FTDI-type adapter)</translation>
    </message>
    <message>
        <source>%1 毫秒</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>未检查：没有发送请求</source>
        <translation>not checked: nothing was asked</translation>
    </message>
    <message>
        <source>有回显（适配器收到自己发出的数据）</source>
        <translation>on (the adapter hears what it sends)</translation>
    </message>
    <message>
        <source>无回显</source>
        <translation>off</translation>
    </message>
    <message>
        <source>未知（没有应答可以判断）</source>
        <translation>unknown (no answer told it)</translation>
    </message>
    <message>
        <source>驱动没有线路计数</source>
        <translation>the driver keeps no line counters</translation>
    </message>
    <message>
        <source>帧错误 %1，校验错误 %2，溢出 %3，中断 %4</source>
        <translation>framing %1, parity %2, overrun %3, break %4</translation>
    </message>
    <message>
        <source>%1 毫秒内线路安静</source>
        <translation>quiet for %1 ms</translation>
    </message>
    <message>
        <source>无人请求时 %2 毫秒内收到 %1 字节（完整帧 %3 个）</source>
        <translation>%1 bytes in %2 ms while nobody asked (%3 whole frames)</translation>
    </message>
    <message>
        <source>地址 %1 在 %2 波特率 %3 应答</source>
        <translation>address %1 answers at %2 baud %3</translation>
    </message>
    <message>
        <source>地址 %1：%3 种设置中 %2 种只收到乱码</source>
        <translation>address %1: only garbled answers, at %2 of %3 settings</translation>
    </message>
    <message>
        <source>地址 %1 在 %2 种设置下都没有应答</source>
        <translation>address %1 answers at none of %2 settings</translation>
    </message>
    <message>
        <source>没有应答可计时</source>
        <translation>no answers to time</translation>
    </message>
    <message>
        <source>最短 %1 毫秒，中位 %2 毫秒，95% %3 毫秒（%4 次应答，线路需要 %5 毫秒）</source>
        <translation>min %1 ms, median %2 ms, 95% %3 ms over %4 answers (the line needs %5 ms)</translation>
    </message>
    <message>
        <source>没有读取</source>
        <translation>no reads</translation>
    </message>
    <message>
        <source>插上适配器，检查端口名称</source>
        <translation>plug the adapter in and check the port&apos;s name</translation>
    </message>
    <message>
        <source>把用户加入 %1 组（sudo usermod -aG %1 $USER），然后重新登录</source>
        <translation>add your account to the group %1 (sudo usermod -aG %1 $USER) and log in again</translation>
    </message>
    <message>
        <source>ModemManager 会探测新的串口适配器：sudo systemctl stop ModemManager（再 disable，或在 udev 规则中给适配器设 ID_MM_DEVICE_IGNORE=1）</source>
        <translation>ModemManager probes new serial adapters: sudo systemctl stop ModemManager (and disable it, or give the adapter ID_MM_DEVICE_IGNORE=1 in a udev rule)</translation>
    </message>
    <message>
        <source>brltty 把 USB 串口适配器当作盲文显示器：sudo systemctl stop brltty（或卸载 brltty）</source>
        <translation>brltty takes USB serial adapters for braille displays: sudo systemctl stop brltty (or remove the brltty package)</translation>
    </message>
    <message>
        <source>关闭打开此端口的程序：两个程序同用一个端口会互相抢走数据</source>
        <translation>close the program that has the port open: two programs on one port steal each other&apos;s bytes</translation>
    </message>
    <message>
        <source>回显已从应答中去除；在系统设置中把适配器回显设为“去除回显”可省去识别</source>
        <translation>the echo is taken off each answer; setting Adapter echo to Remove on the System page saves the learning read</translation>
    </message>
    <message>
        <source>字符不完整：总线上有设备使用别的波特率或格式，或有干扰</source>
        <translation>characters broke off: a device on the bus at another rate or format, or noise</translation>
    </message>
    <message>
        <source>数据来不及读取而丢失：系统太忙或 USB 集线器太慢</source>
        <translation>bytes were lost before they were read: a busy system or a slow USB hub</translation>
    </message>
    <message>
        <source>线路被拉低：A/B 接反、没有偏置电阻，或总线没有供电</source>
        <translation>the line was held low: A and B swapped, no bias resistors, or the bus unpowered</translation>
    </message>
    <message>
        <source>无人请求却收到完整帧：总线上有另一个主站，或有模块自己发送；同一时间只能有一个主站</source>
        <translation>whole frames came unasked: another master polls this bus, or a module talks by itself; one master at a time</translation>
    </message>
    <message>
        <source>有乱码：检查屏蔽层及其单端接地、偏置电阻、终端电阻，以及与电源线并行的走线</source>
        <translation>garbled bytes: check the shield and its ground at one end, the bias resistors, the termination, and cables run beside power lines</translation>
    </message>
    <message>
        <source>每个波特率下的应答都是乱码：A/B 接反，或总线没有偏置电阻</source>
        <translation>every answer garbled at every rate: A and B swapped, or the bus has no bias resistors</translation>
    </message>
    <message>
        <source>波特率越高错误越多：在总线两端各接 120 欧终端电阻，其他地方不要接</source>
        <translation>errors grow with the rate: terminate both ends of the bus with 120 ohm, and nowhere else</translation>
    </message>
    <message>
        <source>任何波特率下都没有应答：检查模块电源、A/B 接线、模块地址，以及适配器的收发指示灯</source>
        <translation>no answer at any rate: check the module&apos;s power, the A/B wires, its address and the adapter&apos;s TX/RX lamps</translation>
    </message>
    <message>
        <source>应答比线路所需的慢：适配器的延迟计时器、网关，或模块本身较慢</source>
        <translation>answers come later than the line needs: the adapter&apos;s latency timer, a gateway, or a slow module</translation>
    </message>
    <message>
        <source>有应答丢失：总线上有另一个主站、两个模块同一地址，或模块供电不稳</source>
        <translation>answers missing: another master on the bus, two modules at one address, or the module&apos;s supply</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>模块 %1 在 %2 %3</source>
        <translation>Module %1 at %2 %3</translation>
    </message>
    <message>
        <source>，应答中位 %1 毫秒</source>
        <translation>, answers in %1 ms (median)</translation>
    </message>
    <message>
        <source>%1 项故障：%2</source>
        <translation>%1 fault(s): %2</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>%1 项警告：%2</source>
        <translation>%1 warning(s): %2</translation>
    </message>
    <message>
        <source>没有发现问题</source>
        <translation>nothing wrong found</translation>
    </message>
    <message>
        <source>有故障</source>
        <translation>FAULT</translation>
    </message>
    <message>
        <source>有警告</source>
        <translation>WARNING</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>结论：%1。%2。</source>
        <translation>Summary: %1. %2.</translation>
    </message>
    <message>
        <source>。</source>
        <translation>. </translation>
    </message>
    <message>
        <source>适配器每 %1 毫秒才交出数据，每次收发最多多花 %1 毫秒：用 udev 规则把 latency_timer 设为 1（%2）</source>
        <translation>the adapter hands bytes over every %1 ms, adding up to %1 ms to every exchange: set latency_timer to 1 with a udev rule (%2)</translation>
    </message>
    <message>
        <source>%4 次读取中 %1 次乱码（%2 次 CRC 错误），%3 次无应答</source>
        <translation>%1 garbled (%2 bad CRC), %3 silent of %4 reads</translation>
    </message>
</context>
<context>
    <name>LineCheckDialog</name>
    <message>
        <source>线路诊断</source>
        <translation>Line check</translation>
    </message>
    <message>
        <source>诊断设置</source>
        <translation>Check settings</translation>
    </message>
    <message>
        <source>开始诊断</source>
        <translation>Start check</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>模块地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>读取次数</source>
        <translation>Reads</translation>
    </message>
    <message>
        <source>诊断结果</source>
        <translation>Findings</translation>
    </message>
    <message>
        <source>检查项</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Figure</translation>
    </message>
    <message>
        <source>处理建议</source>
        <translation>What to do</translation>
    </message>
    <message>
        <source>复制结论</source>
        <translation>Copy summary</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>窗口的串口 %1 已打开：请先按“关闭串口”，诊断会自己打开端口。</source>
        <translation>The window has the port %1 open: press “Close port” first; the check opens the port itself.</translation>
    </message>
    <message>
        <source>模块地址应为 1 到 255</source>
        <translation>The address is 1 to 255</translation>
    </message>
    <message>
        <source>读取次数应为 1 到 1000</source>
        <translation>Reads are 1 to 1000</translation>
    </message>
    <message>
        <source>正在检查：%1</source>
        <translation>Checking: %1</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>诊断完成</source>
        <translation>Check done</translation>
    </message>
    <message>
        <source>端口无法打开</source>
        <translation>The port cannot be opened</translation>
    </message>
</context>
<context>
    <name>LineSettingsDialog</name>
    <message>
        <source>线路设置</source>
        <translation>Line settings</translation>
    </message>
    <message>
        <source>驱动切换 RS-485 收发方向（%1）</source>
        <translation>Driver switches the RS-485 direction (%1)</translation>
    </message>
    <message>
        <source>数据格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>模块只用 8N1；与使用其他格式的设备共用总线时才改</source>
        <translation>The modules speak 8N1; change it only on a bus shared with devices of another format</translation>
    </message>
    <message>
        <source>请求间隔（毫秒）</source>
        <translation>Pause (ms)</translation>
    </message>
    <message>
        <source>每次应答之后、下一个请求之前</source>
        <translation>after each answer, before the next request</translation>
    </message>
    <message>
        <source>应答等待（毫秒）</source>
        <translation>Answer wait (ms)</translation>
    </message>
    <message>
        <source>0：按波特率自动计算</source>
        <translation>0: from the baud rate</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请求间隔和应答等待应为 0 到 %1 之间的整数</source>
        <translation>The pause and the answer wait must be whole numbers from 0 to %1</translation>
    </message>
    <message>
        <source>无法启用 RS-485 方向控制：%1</source>
        <translation>Cannot switch on the RS-485 direction control: %1</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>是否保存新的名称？</source>
        <translation>Save the new names?</translation>
    </message>
    <message>
        <source>是否将名称恢复成默认值？</source>
        <translation>Restore the default names?</translation>
    </message>
    <message>
        <source>无法设置此波特率：%1</source>
        <translation>Cannot set this baud rate: %1</translation>
    </message>
    <message>
        <source>串口没有打开，请打开串口</source>
        <translation>The port is not open: open it first</translation>
    </message>
    <message>
        <source>串口调试助手</source>
        <translation>Serial console</translation>
    </message>
    <message>
        <source>发送数据不能为空</source>
        <translation>There is nothing to send</translation>
    </message>
    <message>
        <source>无法保存到文件：%1
%2</source>
        <translation>Cannot save to the file: %1
%2</translation>
    </message>
    <message>
        <source>发出数据为空，无法复制</source>
        <translation>Nothing was sent: nothing to copy</translation>
    </message>
    <message>
        <source>发出数据已经复制到剪切板</source>
        <translation>The sent data is on the clipboard</translation>
    </message>
    <message>
        <source>收到数据为空，无法复制</source>
        <translation>Nothing was received: nothing to copy</translation>
    </message>
    <message>
        <source>收到数据已经复制到剪切板</source>
        <translation>The received data is on the clipboard</translation>
    </message>
    <message>
        <source>请先打开串口后，在搜索</source>
        <translation>Open the port first, then search</translation>
    </message>
    <message>
        <source>是否更新模块地址?</source>
        <translation>Change the module&apos;s address?</translation>
    </message>
    <message>
        <source>输入错误，地址范围在1-255</source>
        <translation>Input error: the address is 1 to 255</translation>
    </message>
    <message>
        <source>是否更新模块波特率?</source>
        <translation>Change the module&apos;s baud rate?</translation>
    </message>
    <message>
        <source>网络端口的波特率由网关设定</source>
        <translation>The gateway sets the baud rate of a network port</translation>
    </message>
    <message>
        <source>
请把您的账户加入用户组 %1（sudo usermod -aG %1 $USER），然后重新登录。</source>
        <translation>
Add your account to the group %1 (sudo usermod -aG %1 $USER), then log in again.</translation>
    </message>
    <message>
        <source>设备输入输出出错</source>
        <translation>device input/output error</translation>
    </message>
    <message>
        <source>设备不存在</source>
        <translation>no such device</translation>
    </message>
    <message>
        <source>设备忙</source>
        <translation>device busy</translation>
    </message>
    <message>
        <source>没有访问权限</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>此设备不是串口</source>
        <translation>not a serial device</translation>
    </message>
    <message>
        <source>参数无效</source>
        <translation>invalid setting</translation>
    </message>
    <message>
        <source>设备不响应</source>
        <translation>device not responding</translation>
    </message>
    <message>
        <source>没有发现此串口号</source>
        <translation>This port was not found</translation>
    </message>
    <message>
        <source>此串口存在但是被占用</source>
        <translation>This port exists but is in use</translation>
    </message>
    <message>
        <source>没有权限打开此串口</source>
        <translation>No permission to open this port</translation>
    </message>
    <message>
        <source>设备已拔出</source>
        <translation>device unplugged</translation>
    </message>
    <message>
        <source>线路设置无效</source>
        <translation>invalid line settings</translation>
    </message>
    <message>
        <source>串口未打开</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <source>读取数据失败</source>
        <translation>reading failed</translation>
    </message>
    <message>
        <source>发送数据失败</source>
        <translation>sending failed</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>unknown error</translation>
    </message>
    <message>
        <source>连接被拒绝</source>
        <translation>connection refused</translation>
    </message>
    <message>
        <source>网络不可达</source>
        <translation>network unreachable</translation>
    </message>
    <message>
        <source>连接超时</source>
        <translation>connection timed out</translation>
    </message>
    <message>
        <source>无法连接</source>
        <translation>cannot connect</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>没有发现此串口号
</source>
        <translation>This port was not found
</translation>
    </message>
    <message>
        <source>无法打开此串口</source>
        <translation>Cannot open this port</translation>
    </message>
    <message>
        <source>无法打开此串口：%1</source>
        <translation>Cannot open this port: %1</translation>
    </message>
    <message>
        <source>新的界面语言在程序下次启动时生效</source>
        <translation>The new language applies the next time the program starts</translation>
    </message>
    <message>
        <source>没有搜索到模块</source>
        <translation>No module found</translation>
    </message>
    <message>
        <source>地址设置失败</source>
        <translation>Setting the address failed</translation>
    </message>
    <message>
        <source>输入错误，数值范围在1-65535</source>
        <translation>Input error: the value is 1 to 65535</translation>
    </message>
    <message>
        <source>无法写入文件：%1</source>
        <translation>Cannot write the file: %1</translation>
    </message>
    <message>
        <source>录制已停止：文件无法写入</source>
        <translation>Recording stopped: the file cannot be written</translation>
    </message>
    <message>
        <source>模块测试正在进行，测试结束或停止后才能发送</source>
        <translation>A module test is running: nothing can be sent until it ends or is stopped</translation>
    </message>
    <message>
        <source>正在读取或搜索模块，请结束后再测试</source>
        <translation>A module scan or search is running: test when it has ended</translation>
    </message>
    <message>
        <source>测试时每一路继电器都会吸合和断开。请确认所接负载可以动作。开始测试吗？</source>
        <translation>Every relay will switch on and off during the test. Make sure the loads connected may operate. Start the test?</translation>
    </message>
    <message>
        <source>还没有测试报告</source>
        <translation>No test report yet</translation>
    </message>
    <message>
        <source>请至少选择一个测试项目</source>
        <translation>Choose at least one step</translation>
    </message>
    <message>
        <source>循环次数应为1-100000</source>
        <translation>Cycles must be 1 to 100000</translation>
    </message>
    <message>
        <source>地址范围有误，例如 1-10 或 3,7,20-22</source>
        <translation>Not an address range; for example 1-10 or 3,7,20-22</translation>
    </message>
    <message>
        <source>地址范围应为 1 到 255 之间，如 1-32</source>
        <translation>The address range must lie within 1 to 255, such as 1-32</translation>
    </message>
    <message>
        <source>地址 %1 的每一路继电器都会断开。请确认所接负载可以动作。继续吗？</source>
        <translation>Every relay of address %1 will be switched off. Make sure the loads connected may switch. Go on?</translation>
    </message>
    <message>
        <source>总线上每个模块的每一路继电器都会断开。请确认所接负载可以动作。继续吗？</source>
        <translation>Every relay of every module on the bus will be switched off. Make sure the loads connected may switch. Go on?</translation>
    </message>
    <message>
        <source>地址应为 1 到 255</source>
        <translation>The address must be 1 to 255</translation>
    </message>
    <message>
        <source>无法启用 RS-485 方向控制：%1</source>
        <translation>Cannot switch on the RS-485 direction control: %1</translation>
    </message>
</context>
</TS>
