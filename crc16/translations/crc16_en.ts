<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>crc</name>
    <message>
        <source>没有数字。</source>
        <translation>No digits.</translation>
    </message>
    <message>
        <source>“%1”不是非负整数。</source>
        <translation>“%1” is not a whole number.</translation>
    </message>
    <message>
        <source>“%1”太大，无法换算。</source>
        <translation>“%1” is too large to convert.</translation>
    </message>
    <message>
        <source>没有输入字节：请输入十六进制字节，每字节两位，如 01050000FF00。</source>
        <translation>No bytes entered: type hex bytes, two digits each, such as 01050000FF00.</translation>
    </message>
    <message>
        <source>第 %1 个字符“%2”不是十六进制数字。</source>
        <translation>Character %1, “%2”, is not a hex digit. </translation>
    </message>
    <message>
        <source>第 %1 个字符“%2”缺少另一位：每个字节需两位十六进制数字。</source>
        <translation>Character %1, “%2”, has no partner: every byte takes two hex digits. </translation>
    </message>
    <message>
        <source>没有可计算的字节。</source>
        <translation>There are no bytes to compute.</translation>
    </message>
    <message>
        <source>结果只计算了此前的 %1 个字节：%2</source>
        <translation>The result covers only the %1 bytes before it: %2</translation>
    </message>
</context>
<context>
    <name>crccalc::CrcWindow</name>
    <message>
        <source>CRC16计算-Tarnwell</source>
        <translation>CRC16 Calculator-Tarnwell</translation>
    </message>
    <message>
        <source>crc16计算</source>
        <translation>Compute CRC</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>低位</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>高位</source>
        <translation>High</translation>
    </message>
    <message>
        <source>十进制</source>
        <translation>Dec</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
</context>
</TS>
