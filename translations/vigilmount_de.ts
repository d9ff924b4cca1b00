<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CommandLine</name>
    <message>
        <source>Keeps Plex Media Server running and the media share mounted.
Without options it lives in the system tray; started again while it runs, it opens
its settings window.</source>
        <translation>Hält Plex Media Server am Laufen und die Medienfreigabe eingehängt.
Ohne Optionen lebt es im Infobereich; erneut gestartet, während es läuft, öffnet es
sein Einstellungsfenster.</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>Zeigt die Versionsinformationen an.</translation>
    </message>
    <message>
        <source>Run the watchdog without a tray icon or windows (for a machine without a desktop session).</source>
        <translation>Den Wächter ohne Symbol im Infobereich und ohne Fenster ausführen (für einen Rechner ohne Desktop-Sitzung).</translation>
    </message>
    <message>
        <source>Also write every system-log line to standard error.</source>
        <translation>Jede Zeile des Systemprotokolls auch auf die Standardfehlerausgabe schreiben.</translation>
    </message>
    <message>
        <source>Open the settings window of the running Vigilmount (or start one that opens it).</source>
        <translation>Das Einstellungsfenster des laufenden Vigilmount öffnen (oder eines starten, das es öffnet).</translation>
    </message>
    <message>
        <source>Make the running Vigilmount check now (or start one that does).</source>
        <translation>Das laufende Vigilmount jetzt prüfen lassen (oder eines starten, das prüft).</translation>
    </message>
    <message>
        <source>Print the state of the running Vigilmount as one line of JSON; exit status 3 when none runs.</source>
        <translation>Den Zustand des laufenden Vigilmount als eine Zeile JSON ausgeben; Exit-Status 3, wenn keines läuft.</translation>
    </message>
    <message>
        <source>Give only one of --settings, --check-now and --status.</source>
        <translation>Nur eine der Optionen --settings, --check-now und --status angeben.</translation>
    </message>
    <message>
        <source>--settings needs the tray, not --headless.</source>
        <translation>--settings braucht den Infobereich, nicht --headless.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Unerwartetes Argument „%1“.</translation>
    </message>
    <message>
        <source>built from git revision %1
</source>
        <translation>erstellt aus Git-Revision %1
</translation>
    </message>
    <message>
        <source>vigilmount: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so there is no tray to live in.
Start it from a desktop session, or run &quot;vigilmount --headless&quot; to keep Plex and the share alive without a user interface.
</source>
        <translation>vigilmount: keine Anzeige gefunden (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt), es gibt also keinen Infobereich.
Starten Sie es aus einer Desktop-Sitzung oder führen Sie „vigilmount --headless“ aus, um Plex und die Freigabe ohne Benutzeroberfläche am Leben zu halten.
</translation>
    </message>
    <message>
        <source>Vigilmount is not running.</source>
        <translation>Vigilmount läuft nicht.</translation>
    </message>
</context>
<context>
    <name>DesktopNotifications</name>
    <message>
        <source>Open Settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
</context>
<context>
    <name>GeneralSettingsView</name>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiviert</translation>
    </message>
    <message>
        <source>Needs approval in System Settings › General › Login Items</source>
        <translation>Muss in Systemeinstellungen › Allgemein › Anmeldeobjekte erlaubt werden</translation>
    </message>
    <message>
        <source>Not registered</source>
        <translation>Nicht eingetragen</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Check every</source>
        <translation>Prüfen alle</translation>
    </message>
    <message>
        <source>Check interval in minutes</source>
        <translation>Prüfintervall in Minuten</translation>
    </message>
    <message>
        <source>Change check interval</source>
        <translation>Prüfintervall ändern</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>Minimum %1 seconds. A 5 minute interval is plenty for catching a crashed server.</source>
        <translation>Mindestens %1 Sekunden. Ein Intervall von 5 Minuten reicht völlig, um einen abgestürzten Server zu bemerken.</translation>
    </message>
    <message>
        <source>Also check right after the computer wakes from sleep</source>
        <translation>Auch gleich nach dem Aufwachen des Computers prüfen</translation>
    </message>
    <message>
        <source>Launch Vigilmount at login</source>
        <translation>Vigilmount bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Show a notification when Vigilmount fixes something</source>
        <translation>Eine Benachrichtigung zeigen, wenn Vigilmount etwas repariert</translation>
    </message>
    <message>
        <source>Check Now</source>
        <translation>Jetzt prüfen</translation>
    </message>
    <message>
        <source>Checking</source>
        <translation>Prüfe</translation>
    </message>
    <message>
        <source>Failures are included: when this is off, Vigilmount also stays quiet when a repair fails.</source>
        <translation>Fehlschläge eingeschlossen: Ist dies aus, meldet Vigilmount auch keine fehlgeschlagene Reparatur.</translation>
    </message>
</context>
<context>
    <name>HistoryChart</name>
    <message>
        <source>Pick a bar to list only its period; pick it again, or a time window, to list the whole window.</source>
        <translation>Wählen Sie einen Balken, um nur seinen Zeitraum aufzulisten; wählen Sie ihn erneut oder ein Zeitfenster, um wieder das ganze Zeitfenster aufzulisten.</translation>
    </message>
    <message numerus="yes">
        <source>%n outage(s) in the last 24 hours</source>
        <translation>
            <numerusform>%n Ausfall in den letzten 24 Stunden</numerusform>
            <numerusform>%n Ausfälle in den letzten 24 Stunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n outage(s) in the last 7 days</source>
        <translation>
            <numerusform>%n Ausfall in den letzten 7 Tagen</numerusform>
            <numerusform>%n Ausfälle in den letzten 7 Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n outage(s) in the last 30 days</source>
        <translation>
            <numerusform>%n Ausfall in den letzten 30 Tagen</numerusform>
            <numerusform>%n Ausfälle in den letzten 30 Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n outage(s) in all recorded history</source>
        <translation>
            <numerusform>%n Ausfall im gesamten Verlauf</numerusform>
            <numerusform>%n Ausfälle im gesamten Verlauf</numerusform>
        </translation>
    </message>
    <message>
        <source>%1, most at %2</source>
        <translation>%1, die meisten um %2</translation>
    </message>
    <message>
        <source>%1, most on %2</source>
        <translation>%1, die meisten am %2</translation>
    </message>
    <message>
        <source>%1, most in the week of %2</source>
        <translation>%1, die meisten in der Woche ab %2</translation>
    </message>
    <message numerus="yes">
        <source>%n outage(s)</source>
        <translation>
            <numerusform>%n Ausfall</numerusform>
            <numerusform>%n Ausfälle</numerusform>
        </translation>
    </message>
    <message>
        <source>Plex: %1, volume: %2</source>
        <translation>Plex: %1, Volume: %2</translation>
    </message>
    <message>
        <source>Plex</source>
        <translation>Plex</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>Outages &amp; fixes</source>
        <translation>Ausfälle &amp; Reparaturen</translation>
    </message>
    <message>
        <source>Everything</source>
        <translation>Alles</translation>
    </message>
    <message>
        <source>24 hours</source>
        <translation>24 Stunden</translation>
    </message>
    <message>
        <source>7 days</source>
        <translation>7 Tage</translation>
    </message>
    <message>
        <source>30 days</source>
        <translation>30 Tage</translation>
    </message>
    <message>
        <source>All time</source>
        <translation>Gesamter Zeitraum</translation>
    </message>
    <message>
        <source>Plex crashes</source>
        <translation>Plex-Abstürze</translation>
    </message>
    <message>
        <source>Volume drops</source>
        <translation>Volume-Abbrüche</translation>
    </message>
    <message>
        <source>Auto-fixes</source>
        <translation>Automatische Reparaturen</translation>
    </message>
    <message>
        <source>Time window</source>
        <translation>Zeitraum</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Ereignisse</translation>
    </message>
    <message>
        <source>Log every check</source>
        <translation>Jede Prüfung protokollieren</translation>
    </message>
    <message>
        <source>Records a line even when everything is fine. Useful when you&apos;re debugging, noisy otherwise.</source>
        <translation>Schreibt eine Zeile, auch wenn alles in Ordnung ist. Nützlich bei der Fehlersuche, sonst zu viel.</translation>
    </message>
    <message>
        <source>Reveal Log File</source>
        <translation>Protokolldatei zeigen</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Exportieren …</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Delete all history</source>
        <translation>Gesamten Verlauf löschen</translation>
    </message>
    <message>
        <source>Delete entries older than 30 days</source>
        <translation>Einträge löschen, die älter als 30 Tage sind</translation>
    </message>
    <message>
        <source>Last %1</source>
        <translation>Zuletzt %1</translation>
    </message>
    <message>
        <source>None recorded</source>
        <translation>Keine verzeichnet</translation>
    </message>
    <message>
        <source>No failed repairs</source>
        <translation>Keine fehlgeschlagenen Reparaturen</translation>
    </message>
    <message numerus="yes">
        <source>%n repair(s) failed</source>
        <translation>
            <numerusform>%n Reparatur fehlgeschlagen</numerusform>
            <numerusform>%n Reparaturen fehlgeschlagen</numerusform>
        </translation>
    </message>
    <message>
        <source>No outages in this period.</source>
        <translation>Keine Ausfälle in diesem Zeitraum.</translation>
    </message>
    <message>
        <source>Nothing logged in this period.</source>
        <translation>Nichts protokolliert in diesem Zeitraum.</translation>
    </message>
    <message>
        <source>Export History</source>
        <translation>Verlauf exportieren</translation>
    </message>
    <message>
        <source>The history couldn&apos;t be exported to %1.</source>
        <translation>Der Verlauf konnte nicht nach %1 exportiert werden.</translation>
    </message>
</context>
<context>
    <name>LogEvent</name>
    <message>
        <source>Vigilmount started</source>
        <translation>Vigilmount gestartet</translation>
    </message>
    <message>
        <source>Vigilmount quit</source>
        <translation>Vigilmount beendet</translation>
    </message>
    <message>
        <source>Computer woke from sleep</source>
        <translation>Computer aus dem Ruhezustand aufgewacht</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Prüfung</translation>
    </message>
    <message>
        <source>Plex running</source>
        <translation>Plex läuft</translation>
    </message>
    <message>
        <source>Plex not running</source>
        <translation>Plex läuft nicht</translation>
    </message>
    <message>
        <source>Plex relaunched</source>
        <translation>Plex neu gestartet</translation>
    </message>
    <message>
        <source>Plex relaunch failed</source>
        <translation>Neustart von Plex fehlgeschlagen</translation>
    </message>
    <message>
        <source>Volume mounted</source>
        <translation>Volume eingehängt</translation>
    </message>
    <message>
        <source>Volume disconnected</source>
        <translation>Volume getrennt</translation>
    </message>
    <message>
        <source>Volume remounted</source>
        <translation>Volume wieder eingehängt</translation>
    </message>
    <message>
        <source>Volume mount failed</source>
        <translation>Einhängen des Volumes fehlgeschlagen</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>Outcome</name>
    <message>
        <source>The login keyring couldn&apos;t be reached.</source>
        <translation>Der Anmeldeschlüsselbund war nicht erreichbar.</translation>
    </message>
    <message>
        <source>The login keyring is locked.</source>
        <translation>Der Anmeldeschlüsselbund ist gesperrt.</translation>
    </message>
    <message>
        <source>The password couldn&apos;t be saved in the login keyring.</source>
        <translation>Das Passwort konnte nicht im Anmeldeschlüsselbund gespeichert werden.</translation>
    </message>
    <message>
        <source>The password couldn&apos;t be removed from the login keyring.</source>
        <translation>Das Passwort konnte nicht aus dem Anmeldeschlüsselbund entfernt werden.</translation>
    </message>
    <message>
        <source>The server rejected the user name or password.</source>
        <translation>Der Server hat Benutzername oder Passwort abgelehnt.</translation>
    </message>
    <message>
        <source>The share doesn&apos;t exist on that server.</source>
        <translation>Die Freigabe gibt es auf diesem Server nicht.</translation>
    </message>
    <message>
        <source>The volume is busy.</source>
        <translation>Das Volume ist belegt.</translation>
    </message>
    <message>
        <source>The server couldn&apos;t be reached on the network.</source>
        <translation>Der Server war im Netzwerk nicht erreichbar.</translation>
    </message>
    <message>
        <source>The server didn&apos;t respond in time.</source>
        <translation>Der Server hat nicht rechtzeitig geantwortet.</translation>
    </message>
    <message>
        <source>The mount was cancelled.</source>
        <translation>Das Einhängen wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The share couldn&apos;t be mounted.</source>
        <translation>Die Freigabe konnte nicht eingehängt werden.</translation>
    </message>
    <message>
        <source>The system reported no error but didn&apos;t return a running Plex process.</source>
        <translation>Das System meldete keinen Fehler, lieferte aber keinen laufenden Plex-Prozess.</translation>
    </message>
    <message>
        <source>Set the server address and share name in Settings first.</source>
        <translation>Legen Sie zuerst Serveradresse und Freigabenamen in den Einstellungen fest.</translation>
    </message>
    <message>
        <source>The server address or share name isn&apos;t a valid URL.</source>
        <translation>Serveradresse oder Freigabename ergeben keine gültige URL.</translation>
    </message>
    <message>
        <source>The login keyring didn&apos;t answer.</source>
        <translation>Der Anmeldeschlüsselbund hat nicht geantwortet.</translation>
    </message>
    <message>
        <source>The desktop&apos;s network-share service (GVfs) isn&apos;t running.</source>
        <translation>Der Netzwerkfreigabe-Dienst der Arbeitsumgebung (GVfs) läuft nicht.</translation>
    </message>
    <message>
        <source>The login keyring isn&apos;t available.</source>
        <translation>Der Anmeldeschlüsselbund ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>The desktop session bus isn&apos;t available.</source>
        <translation>Der Sitzungsbus der Arbeitsumgebung ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>Plex Media Server keeps hanging; Vigilmount stopped restarting it for now.</source>
        <translation>Plex Media Server hängt immer wieder; Vigilmount startet ihn vorerst nicht mehr neu.</translation>
    </message>
    <message>
        <source>Plex Media Server isn&apos;t answering and didn&apos;t stop when asked to.</source>
        <translation>Plex Media Server antwortet nicht und hat sich nicht beenden lassen.</translation>
    </message>
    <message>
        <source>Plex Media Server isn&apos;t answering, and it runs under another account, so Vigilmount can&apos;t restart it.</source>
        <translation>Plex Media Server antwortet nicht und läuft unter einem anderen Konto, daher kann Vigilmount ihn nicht neu starten.</translation>
    </message>
    <message>
        <source>Plex Media Server runs as a system service, and starting it needs an administrator&apos;s permission.</source>
        <translation>Plex Media Server läuft als Systemdienst, und ihn zu starten erfordert die Erlaubnis eines Administrators.</translation>
    </message>
</context>
<context>
    <name>PlexSettingsView</name>
    <message>
        <source>Keep Plex Media Server running</source>
        <translation>Plex Media Server am Laufen halten</translation>
    </message>
    <message>
        <source>Application</source>
        <translation>Programm</translation>
    </message>
    <message>
        <source>Path to Plex Media Server</source>
        <translation>Pfad zu Plex Media Server</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Auswählen …</translation>
    </message>
    <message>
        <source>Reset to default location</source>
        <translation>Auf den Standardort zurücksetzen</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Plex Media Server</source>
        <translation>Plex Media Server</translation>
    </message>
    <message>
        <source>Start Plex Now</source>
        <translation>Plex jetzt starten</translation>
    </message>
    <message>
        <source>Choose Plex Media Server</source>
        <translation>Plex Media Server auswählen</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>Found</source>
        <translation>Gefunden</translation>
    </message>
    <message>
        <source>Not found at this path — Vigilmount will fall back to asking the system where Plex is installed.</source>
        <translation>Unter diesem Pfad nicht gefunden – Vigilmount fragt dann das System, wo Plex installiert ist.</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Not running</source>
        <translation>Läuft nicht</translation>
    </message>
    <message>
        <source>Restart Plex Media Server when it stops answering</source>
        <translation>Plex Media Server neu starten, wenn er nicht mehr antwortet</translation>
    </message>
    <message>
        <source>Not answering</source>
        <translation>Antwortet nicht</translation>
    </message>
</context>
<context>
    <name>SettingsRootView</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Plex</source>
        <translation>Plex</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
</context>
<context>
    <name>Spinner</name>
    <message>
        <source>In progress</source>
        <translation>In Arbeit</translation>
    </message>
</context>
<context>
    <name>StatusMenuModel</name>
    <message>
        <source>Plex: not monitored</source>
        <translation>Plex: nicht überwacht</translation>
    </message>
    <message>
        <source>Plex: unknown</source>
        <translation>Plex: unbekannt</translation>
    </message>
    <message>
        <source>Plex: not running</source>
        <translation>Plex: läuft nicht</translation>
    </message>
    <message>
        <source>Plex: running</source>
        <translation>Plex: läuft</translation>
    </message>
    <message>
        <source>Volume: not monitored</source>
        <translation>Volume: nicht überwacht</translation>
    </message>
    <message>
        <source>Volume: not configured</source>
        <translation>Volume: nicht eingerichtet</translation>
    </message>
    <message>
        <source>Volume: unknown</source>
        <translation>Volume: unbekannt</translation>
    </message>
    <message>
        <source>Volume: disconnected</source>
        <translation>Volume: getrennt</translation>
    </message>
    <message>
        <source>Volume: %1</source>
        <translation>Volume: %1</translation>
    </message>
    <message>
        <source>minute</source>
        <translation>1 min</translation>
    </message>
    <message>
        <source>Checking…</source>
        <translation>Prüfe …</translation>
    </message>
    <message>
        <source>No check yet</source>
        <translation>Noch keine Prüfung</translation>
    </message>
    <message>
        <source>Last check %1 · every %2</source>
        <translation>Letzte Prüfung %1 · Takt %2</translation>
    </message>
    <message>
        <source>No outages in the last 7 days</source>
        <translation>Keine Ausfälle in den letzten 7 Tagen</translation>
    </message>
    <message>
        <source>Last 7 days: %1 Plex, %2 volume</source>
        <translation>Letzte 7 Tage: %1 Plex, %2 Volume</translation>
    </message>
    <message>
        <source>Check Now</source>
        <translation>Jetzt prüfen</translation>
    </message>
    <message>
        <source>Start Plex Media Server</source>
        <translation>Plex Media Server starten</translation>
    </message>
    <message>
        <source>Open %1 in File Manager</source>
        <translation>%1 im Dateimanager öffnen</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Mount %1</source>
        <translation>%1 einhängen</translation>
    </message>
    <message>
        <source>History…</source>
        <translation>Verlauf …</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Quit Vigilmount</source>
        <translation>Vigilmount beenden</translation>
    </message>
    <message>
        <source>Vigilmount — attention needed</source>
        <translation>Vigilmount – Aufmerksamkeit nötig</translation>
    </message>
    <message>
        <source>Plex running</source>
        <translation>Plex läuft</translation>
    </message>
    <message>
        <source>Plex not running</source>
        <translation>Plex läuft nicht</translation>
    </message>
    <message>
        <source>Volume mounted</source>
        <translation>Volume eingehängt</translation>
    </message>
    <message>
        <source>Volume disconnected</source>
        <translation>Volume getrennt</translation>
    </message>
    <message>
        <source>Vigilmount — %1</source>
        <translation>Vigilmount – %1</translation>
    </message>
    <message>
        <source>Plex: not answering</source>
        <translation>Plex: antwortet nicht</translation>
    </message>
    <message>
        <source>Volume: not responding</source>
        <translation>Volume: antwortet nicht</translation>
    </message>
    <message>
        <source>Plex not answering</source>
        <translation>Plex antwortet nicht</translation>
    </message>
    <message>
        <source>Volume not responding</source>
        <translation>Volume antwortet nicht</translation>
    </message>
</context>
<context>
    <name>VolumeSettingsView</name>
    <message>
        <source>Keep the Plex network volume mounted</source>
        <translation>Das Plex-Netzwerkvolume eingehängt halten</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Serveradresse</translation>
    </message>
    <message>
        <source>%1.local or 192.168.1.20</source>
        <translation>%1.local oder 192.168.1.20</translation>
    </message>
    <message>
        <source>Share name</source>
        <translation>Freigabename</translation>
    </message>
    <message>
        <source>Credentials</source>
        <translation>Anmeldedaten</translation>
    </message>
    <message>
        <source>User name</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>The password is stored in your login keyring, never in the app&apos;s preferences. Leave both blank to use a guest connection or a password the system has already saved.</source>
        <translation>Das Passwort liegt in Ihrem Anmeldeschlüsselbund, nie in den Einstellungen des Programms. Lassen Sie beide Felder leer, um eine Gastverbindung oder ein vom System bereits gespeichertes Passwort zu verwenden.</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Mount point</source>
        <translation>Einhängepunkt</translation>
    </message>
    <message>
        <source>Mount Now</source>
        <translation>Jetzt einhängen</translation>
    </message>
    <message>
        <source>Mounting</source>
        <translation>Hänge ein</translation>
    </message>
    <message>
        <source>This is the name you&apos;d click in your file manager › Network › %1 › %2.</source>
        <translation>Das ist der Name, den Sie im Dateimanager unter Netzwerk › %1 › %2 anklicken würden.</translation>
    </message>
    <message>
        <source>Not mounted</source>
        <translation>Nicht eingehängt</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Not saved: a share address reads smb://server/share or afp://server/share.</source>
        <translation>Nicht gespeichert: Eine Freigabeadresse lautet smb://server/freigabe oder afp://server/freigabe.</translation>
    </message>
    <message>
        <source>The address was split into protocol, server and share name. The user name and password in it were not kept: enter them under Credentials.</source>
        <translation>Die Adresse wurde in Protokoll, Server und Freigabename aufgeteilt. Benutzername und Passwort darin wurden nicht übernommen: Bitte unter „Anmeldedaten“ eingeben.</translation>
    </message>
    <message>
        <source>The address was split into protocol, server and share name.</source>
        <translation>Die Adresse wurde in Protokoll, Server und Freigabename aufgeteilt.</translation>
    </message>
    <message>
        <source>Reconnect the volume when it stops responding</source>
        <translation>Volume neu verbinden, wenn es nicht mehr antwortet</translation>
    </message>
    <message>
        <source>Not responding</source>
        <translation>Antwortet nicht</translation>
    </message>
</context>
<context>
    <name>Watchdog</name>
    <message>
        <source>Nothing is being monitored</source>
        <translation>Nichts wird überwacht</translation>
    </message>
    <message>
        <source>Plex running</source>
        <translation>Plex läuft</translation>
    </message>
    <message>
        <source>Plex restarted</source>
        <translation>Plex neu gestartet</translation>
    </message>
    <message>
        <source>Plex Media Server wasn&apos;t running, so Vigilmount started it.</source>
        <translation>Plex Media Server lief nicht, also hat Vigilmount ihn gestartet.</translation>
    </message>
    <message>
        <source>Couldn&apos;t start Plex</source>
        <translation>Plex konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>Plex down</source>
        <translation>Plex ausgefallen</translation>
    </message>
    <message>
        <source>Volume not configured</source>
        <translation>Volume nicht eingerichtet</translation>
    </message>
    <message>
        <source>Volume mounted</source>
        <translation>Volume eingehängt</translation>
    </message>
    <message>
        <source>Plex volume reconnected</source>
        <translation>Plex-Volume wieder verbunden</translation>
    </message>
    <message>
        <source>%1 is mounted at %2.</source>
        <translation>%1 ist unter %2 eingehängt.</translation>
    </message>
    <message>
        <source>Volume remounted</source>
        <translation>Volume wieder eingehängt</translation>
    </message>
    <message>
        <source>Couldn&apos;t mount %1</source>
        <translation>%1 konnte nicht eingehängt werden</translation>
    </message>
    <message>
        <source>Volume down</source>
        <translation>Volume ausgefallen</translation>
    </message>
    <message>
        <source>Not checked yet</source>
        <translation>Noch nicht geprüft</translation>
    </message>
    <message>
        <source>The program at %1 is running but isn&apos;t recognised as Plex Media Server.</source>
        <translation>Das Programm unter %1 läuft, wird aber nicht als Plex Media Server erkannt.</translation>
    </message>
    <message>
        <source>Not answering</source>
        <translation>Antwortet nicht</translation>
    </message>
    <message>
        <source>Plex Media Server stopped answering, so Vigilmount restarted it.</source>
        <translation>Plex Media Server hat nicht mehr geantwortet, daher hat Vigilmount ihn neu gestartet.</translation>
    </message>
    <message>
        <source>Volume folder unreachable</source>
        <translation>Volume-Ordner nicht erreichbar</translation>
    </message>
    <message>
        <source>Volume not responding</source>
        <translation>Volume antwortet nicht</translation>
    </message>
</context>
</TS>
