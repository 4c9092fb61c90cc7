<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>KEM Error</name>
    <message>
        <source>error:</source>
        <translation>erreur :</translation>
    </message>
    <message>
        <source>fatal:</source>
        <translation>fatale (veldora) :</translation>
    </message>
    <message>
        <source>%1, no such file or directory.</source>
        <translation>%1 : fichier ou dossier inexistant.</translation>
    </message>
</context>
</TS>
