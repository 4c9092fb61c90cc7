<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>KEM Error</name>
    <message>
        <source>internal error: %1</source>
        <translation>interner Fehler: %1</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>Speicher erschöpft</translation>
    </message>
    <message>
        <source>%1, no such file or directory.</source>
        <translation>%1, Datei oder Verzeichnis nicht gefunden.</translation>
    </message>
    <message>
        <source>%1, file format not recognized.</source>
        <translation>%1, Dateiformat nicht erkannt.</translation>
    </message>
    <message>
        <source>%1, permission denied;</source>
        <translation>%1, Zugriff verweigert;</translation>
    </message>
    <message>
        <source>(unexpected error)</source>
        <translation>(unerwarteter Fehler)</translation>
    </message>
    <message>
        <source>%1, write error.</source>
        <translation>%1, Schreibfehler.</translation>
    </message>
    <message>
        <source>%1, report file is also an input.</source>
        <translation>%1, Berichtsdatei ist auch eine Eingabe.</translation>
    </message>
    <message>
        <source>info:</source>
        <translation>Info:</translation>
    </message>
    <message>
        <source>warning:</source>
        <translation>Warnung:</translation>
    </message>
    <message>
        <source>error:</source>
        <translation>Fehler:</translation>
    </message>
    <message>
        <source>fatal:</source>
        <translation>schwerer Fehler:</translation>
    </message>
    <message>
        <source>lexical error:</source>
        <translation>lexikalischer Fehler:</translation>
    </message>
    <message>
        <source>syntax error:</source>
        <translation>Syntaxfehler:</translation>
    </message>
    <message>
        <source>semantic error:</source>
        <translation>semantischer Fehler:</translation>
    </message>
    <message>
        <source>command line:</source>
        <translation>Befehlszeile:</translation>
    </message>
</context>
<context>
    <name>Page</name>
    <message>
        <source>en</source>
        <translation>de</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Übersicht</translation>
    </message>
    <message>
        <source>Report information</source>
        <translation>Berichtsinformationen</translation>
    </message>
    <message>
        <source>Failures</source>
        <translation>Fehlschläge</translation>
    </message>
    <message>
        <source>No failed check and no failed object.</source>
        <translation>Keine fehlgeschlagene Prüfung und kein fehlgeschlagenes Objekt.</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>%1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>Show %1 more</source>
        <translation>%1 weitere zeigen</translation>
    </message>
    <message>
        <source>%1 failed verdicts that the report counts but shows in no table</source>
        <translation>%1 fehlgeschlagene Urteile, die der Bericht zählt, aber in keiner Tabelle zeigt</translation>
    </message>
    <message>
        <source>Test objects</source>
        <translation>Testobjekte</translation>
    </message>
    <message>
        <source>Search names, expressions, file:line and notes</source>
        <translation>Namen, Ausdrücke, Datei:Zeile und Notizen suchen</translation>
    </message>
    <message>
        <source>Failures only</source>
        <translation>Nur Fehlschläge</translation>
    </message>
    <message>
        <source>Not executed only</source>
        <translation>Nur nicht ausgeführte</translation>
    </message>
    <message>
        <source>Expand all</source>
        <translation>Alle aufklappen</translation>
    </message>
    <message>
        <source>Collapse all</source>
        <translation>Alle zuklappen</translation>
    </message>
    <message>
        <source>Skip to the test objects</source>
        <translation>Zu den Testobjekten springen</translation>
    </message>
    <message>
        <source>Tree controls</source>
        <translation>Steuerung des Baums</translation>
    </message>
    <message>
        <source>The tree of test objects needs JavaScript.</source>
        <translation>Der Baum der Testobjekte braucht JavaScript.</translation>
    </message>
    <message>
        <source>%1 passed, %2 inconclusive, %3 failed</source>
        <translation>%1 bestanden, %2 unentschieden, %3 fehlgeschlagen</translation>
    </message>
    <message>
        <source>not executed</source>
        <translation>nicht ausgeführt</translation>
    </message>
    <message>
        <source>passed</source>
        <translation>bestanden</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 failed of %2 verdicts</source>
        <translation>%1 von %2 Urteilen fehlgeschlagen</translation>
    </message>
    <message>
        <source>Link to this node</source>
        <translation>Link zu diesem Knoten</translation>
    </message>
    <message>
        <source>%1 nodes</source>
        <translation>%1 Knoten</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>%1 Treffer</translation>
    </message>
    <message>
        <source>%1 shown</source>
        <translation>%1 gezeigt</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>The print view ends after %1 of %2 objects.</source>
        <translation>Die Druckansicht endet nach %1 von %2 Objekten.</translation>
    </message>
    <message>
        <source>The tree cannot be shown: this browser could not unpack the page&apos;s data (%1).</source>
        <translation>Der Baum kann nicht gezeigt werden: dieser Browser konnte die Daten der Seite nicht entpacken (%1).</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Passed, inconclusive and failed of the last %1 runs, oldest first</source>
        <translation>Bestandene, unentschiedene und fehlgeschlagene der letzten %1 Läufe, älteste zuerst</translation>
    </message>
    <message>
        <source>%1 runs, from %2 to %3; each column&apos;s title gives its run and totals.</source>
        <translation>%1 Läufe, von %2 bis %3; der Titel jeder Säule nennt ihren Lauf und seine Summen.</translation>
    </message>
    <message>
        <source>Passed %1, Inconclusive %2, Failed %3, Total %4</source>
        <translation>Bestanden %1, Unentschieden %2, Fehlgeschlagen %3, Gesamt %4</translation>
    </message>
    <message>
        <source>run %1</source>
        <translation>Lauf %1</translation>
    </message>
    <message>
        <source>this report</source>
        <translation>dieser Bericht</translation>
    </message>
    <message>
        <source>New failures</source>
        <translation>Neue Fehlschläge</translation>
    </message>
    <message>
        <source>No new failure against %1.</source>
        <translation>Kein neuer Fehlschlag gegenüber %1.</translation>
    </message>
    <message>
        <source>an empty history</source>
        <translation>einem leeren Verlauf</translation>
    </message>
    <message>
        <source>Failures against the history</source>
        <translation>Fehlschläge im Verlauf</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Since</source>
        <translation>Seit</translation>
    </message>
    <message>
        <source>Last runs</source>
        <translation>Letzte Läufe</translation>
    </message>
    <message>
        <source>new</source>
        <translation>neu</translation>
    </message>
    <message>
        <source>flaky</source>
        <translation>wechselhaft</translation>
    </message>
    <message>
        <source>quarantined</source>
        <translation>in Quarantäne</translation>
    </message>
    <message>
        <source>New %1, Lost %2, Flaky %3, Quarantined %4, Fixed %5, Still failing %6, Added %7, Removed %8</source>
        <translation>Neu %1, Verloren %2, Wechselhaft %3, In Quarantäne %4, Behoben %5, Weiter fehlgeschlagen %6, Hinzugekommen %7, Entfernt %8</translation>
    </message>
    <message>
        <source>No longer executed</source>
        <translation>Nicht mehr ausgeführt</translation>
    </message>
    <message>
        <source>The runs named above: %1.</source>
        <translation>Die oben genannten Läufe: %1.</translation>
    </message>
    <message>
        <source>Part</source>
        <translation>Teil</translation>
    </message>
    <message>
        <source>failing since %1</source>
        <translation>fehlgeschlagen seit %1</translation>
    </message>
    <message>
        <source>Last %1 runs, oldest first: %2</source>
        <translation>Letzte %1 Läufe, älteste zuerst: %2</translation>
    </message>
    <message>
        <source>not in the run</source>
        <translation>nicht im Lauf</translation>
    </message>
    <message>
        <source>The header text file holds no test summary.</source>
        <translation>Die Kopftextdatei enthält keine Testübersicht.</translation>
    </message>
</context>
<context>
    <name>VELDORA</name>
    <message>
        <source>
Usage: </source>
        <translation>
Aufruf: </translation>
    </message>
    <message>
        <source> -ots &lt;otsFiles&gt; -tdf &lt;tdfFile&gt; -xrd &lt;xrdFile&gt; [-h &lt;headerTextFile&gt;]
         &lt;otsFiles&gt;    Object Testing symbol filenames
         &lt;tdfFile&gt;     Trace dynamic filename
         &lt;xrdFile&gt;     Results filename

</source>
        <translation> -ots &lt;otsDateien&gt; -tdf &lt;tdfDatei&gt; -xrd &lt;xrdDatei&gt; [-h &lt;Kopftextdatei&gt;]
         &lt;otsDateien&gt;  Symboldateien des Objekttests
         &lt;tdfDatei&gt;    Trace-Datei des Testlaufs
         &lt;xrdDatei&gt;    Ergebnisdatei

</translation>
    </message>
    <message>
        <source>32 bits number overflow</source>
        <translation>Überlauf der 32-Bit-Zahl</translation>
    </message>
    <message>
        <source>non hexa digit found in number</source>
        <translation>Zeichen in der Zahl ist keine Hexadezimalziffer</translation>
    </message>
</context>
<context>
    <name>VELDORA Cell text</name>
    <message>
        <source>Method</source>
        <translation>Methode</translation>
    </message>
    <message>
        <source>Expression</source>
        <translation>Ausdruck</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Executed</source>
        <translation>Ausgeführt</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Passed</source>
        <translation>Bestanden</translation>
    </message>
</context>
<context>
    <name>VELDORA OtsType</name>
    <message>
        <source>Prologue</source>
        <translation>Prolog</translation>
    </message>
    <message>
        <source>Epilogue</source>
        <translation>Epilog</translation>
    </message>
    <message>
        <source>Check Expression</source>
        <translation>Prüfausdruck</translation>
    </message>
    <message>
        <source>Checksum</source>
        <translation>Prüfsumme</translation>
    </message>
    <message>
        <source>Class</source>
        <translation>Klasse</translation>
    </message>
    <message>
        <source>Check Method</source>
        <translation>Prüfmethode</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>Kommentar</translation>
    </message>
    <message>
        <source>Call</source>
        <translation>Aufruf</translation>
    </message>
    <message>
        <source>Check Stub</source>
        <translation>Stub-Prüfung</translation>
    </message>
    <message>
        <source>Check Exception</source>
        <translation>Ausnahmeprüfung</translation>
    </message>
    <message>
        <source>Check Property</source>
        <translation>Eigenschaftsprüfung</translation>
    </message>
    <message>
        <source>Post Condition</source>
        <translation>Nachbedingung</translation>
    </message>
    <message>
        <source>Expression</source>
        <translation>Ausdruck</translation>
    </message>
    <message>
        <source># </source>
        <translation># </translation>
    </message>
    <message>
        <source>Test Driver</source>
        <translation>Testtreiber</translation>
    </message>
    <message>
        <source>Invariant</source>
        <translation>Invariante</translation>
    </message>
    <message>
        <source>Proc</source>
        <translation>Prozedur</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Property</source>
        <translation>Eigenschaft</translation>
    </message>
    <message>
        <source>Run Component</source>
        <translation>Komponentenlauf</translation>
    </message>
    <message>
        <source>Pre Condition</source>
        <translation>Vorbedingung</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Lauf</translation>
    </message>
    <message>
        <source>Stub</source>
        <translation>Stub</translation>
    </message>
    <message>
        <source>Single Class</source>
        <translation>Einzelklasse</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Zustand</translation>
    </message>
    <message>
        <source>Test Case</source>
        <translation>Testfall</translation>
    </message>
    <message>
        <source>Test Class</source>
        <translation>Testklasse</translation>
    </message>
    <message>
        <source>Transition</source>
        <translation>Übergang</translation>
    </message>
    <message>
        <source>Test Suite</source>
        <translation>Testsuite</translation>
    </message>
    <message>
        <source>Method Contract</source>
        <translation>Methodenvertrag</translation>
    </message>
    <message>
        <source>Observation State</source>
        <translation>Beobachtungszustand</translation>
    </message>
    <message>
        <source>Test Compiler Version</source>
        <translation>Version des Testcompilers</translation>
    </message>
    <message>
        <source>Test Compilation Time</source>
        <translation>Zeitpunkt der Testübersetzung</translation>
    </message>
</context>
<context>
    <name>VELDORA State chart violations</name>
    <message>
        <source>State Name</source>
        <translation>Zustandsname</translation>
    </message>
    <message>
        <source>Multiple Exits</source>
        <translation>Mehrfache Austritte</translation>
    </message>
    <message>
        <source>Illegal Exits</source>
        <translation>Unzulässige Austritte</translation>
    </message>
</context>
<context>
    <name>VELDORA class report</name>
    <message>
        <source>State Name</source>
        <translation>Zustandsname</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Reached</source>
        <translation>Erreicht</translation>
    </message>
    <message>
        <source>Transition Name</source>
        <translation>Übergangsname</translation>
    </message>
    <message>
        <source>Fired</source>
        <translation>Ausgelöst</translation>
    </message>
</context>
<context>
    <name>VELDORA global information</name>
    <message>
        <source>Contracts</source>
        <translation>Verträge</translation>
    </message>
    <message>
        <source>Tested Contracts</source>
        <translation>Geprüfte Verträge</translation>
    </message>
    <message>
        <source>Passed</source>
        <translation>Bestanden</translation>
    </message>
    <message>
        <source>Inconclusive</source>
        <translation>Unentschieden</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Gesamt</translation>
    </message>
    <message>
        <source>Number Of Test Suite</source>
        <translation>Anzahl Testsuiten</translation>
    </message>
    <message>
        <source>Number Of Test Class</source>
        <translation>Anzahl Testklassen</translation>
    </message>
    <message>
        <source>Number Of Test Case</source>
        <translation>Anzahl Testfälle</translation>
    </message>
    <message>
        <source>Number Of Epilogue</source>
        <translation>Anzahl Epiloge</translation>
    </message>
    <message>
        <source>Number Of Procedure</source>
        <translation>Anzahl Prozeduren</translation>
    </message>
    <message>
        <source>Number Of Prologue</source>
        <translation>Anzahl Prologe</translation>
    </message>
    <message>
        <source>Number Of Stub</source>
        <translation>Anzahl Stubs</translation>
    </message>
    <message>
        <source>Global Report</source>
        <translation>Gesamtbericht</translation>
    </message>
    <message>
        <source>Component testing C++ report</source>
        <translation>Bericht des C++-Komponententests</translation>
    </message>
    <message>
        <source>Report summary</source>
        <translation>Berichtsübersicht</translation>
    </message>
    <message>
        <source>Report Information</source>
        <translation>Berichtsinformationen</translation>
    </message>
    <message>
        <source>Test compiler version</source>
        <translation>Version des Testcompilers</translation>
    </message>
    <message>
        <source>Test compilation time</source>
        <translation>Zeitpunkt der Testübersetzung</translation>
    </message>
    <message>
        <source>Report Generation Time</source>
        <translation>Zeitpunkt der Berichterstellung</translation>
    </message>
    <message>
        <source>Project</source>
        <translation>Projekt</translation>
    </message>
    <message>
        <source>Project File</source>
        <translation>Projektdatei</translation>
    </message>
    <message>
        <source>Project Configuration</source>
        <translation>Projektkonfiguration</translation>
    </message>
    <message>
        <source>Workspace</source>
        <translation>Arbeitsbereich</translation>
    </message>
    <message>
        <source>Test Node</source>
        <translation>Testknoten</translation>
    </message>
    <message>
        <source>Report File</source>
        <translation>Berichtsdatei</translation>
    </message>
</context>
<context>
    <name>VELDORA state status</name>
    <message>
        <source>Reached</source>
        <translation>Erreicht</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Not Reached</source>
        <translation>Nicht erreicht</translation>
    </message>
</context>
<context>
    <name>VELDORA status</name>
    <message>
        <source>Passed</source>
        <translation>Bestanden</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Not Executed</source>
        <translation>Nicht ausgeführt</translation>
    </message>
</context>
<context>
    <name>VELDORA trans status</name>
    <message>
        <source>Fired</source>
        <translation>Ausgelöst</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Not Fired</source>
        <translation>Nicht ausgelöst</translation>
    </message>
</context>
<context>
    <name>VOSKIdent</name>
    <message>
        <source>Tessaloft</source>
        <translation>Tessaloft</translation>
    </message>
    <message>
        <source>C++ Test Report Generator</source>
        <translation>C++-Testberichtgenerator</translation>
    </message>
    <message>
        <source>8.2.0.1.070.020</source>
        <translation>8.2.0.1.070.020</translation>
    </message>
    <message>
        <source>Component testing C++</source>
        <translation>C++-Komponententest</translation>
    </message>
</context>
</TS>
