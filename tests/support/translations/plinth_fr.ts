<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>KEM Error</name>
    <message>
        <source>fatal:</source>
        <translation>fatale (plinth) :</translation>
    </message>
    <message>
        <source>info:</source>
        <translation>info (plinth) :</translation>
    </message>
</context>
</TS>
