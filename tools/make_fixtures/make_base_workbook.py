#!/usr/bin/python3
"""Makes the plain workbook the fixtures start from, through LibreOffice Calc.

    make_base_workbook.py OUT.xls WORKDIR

Starts a headless office with a throwaway profile under WORKDIR, builds a
one-sheet workbook whose Basic libraries are in VBA compatibility mode (project
and library "VBAProject": the standard module "Module1" with Auto_Open and the
document modules "ThisWorkbook" with Workbook_Open and "Sheet1"), and stores it
as an Excel 97-2003 file. The office exports the library as a VBA project only
when its expert setting Calc/Filter/Import/VBA/UseExport is on, so the profile
turns it on. The office is ended by its pid before the script returns.

Run by make_fixtures, which then adds the CODENAME records the office leaves
out and encrypts the copies.
"""

import os
import pathlib
import signal
import subprocess
import sys
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException
from com.sun.star.script import ModuleInfo

SOFFICE = "/usr/lib/libreoffice/program/soffice"
START_TIMEOUT = 40.0

# ModuleType constants of com.sun.star.script.ModuleType.
NORMAL_MODULE = 1
DOCUMENT_MODULE = 4

# Each procedure appends its own name to the log named by SPC_MACRO_LOG and
# marks a cell of the first sheet, so a test sees both that it ran and how
# often. Without the variable the log is skipped, so that opening the file
# by hand never stops on a run-time error.
MODULE1 = """Option Explicit

Sub Auto_Open()
    Dim logPath As String
    Dim f As Integer
    logPath = Environ("SPC_MACRO_LOG")
    If logPath <> "" Then
        f = FreeFile
        Open logPath For Append As #f
        Print #f, "Auto_Open"
        Close #f
    End If
    ThisWorkbook.Worksheets(1).Range("A1").Value = "Auto_Open ran"
End Sub
"""

THIS_WORKBOOK = """Option Explicit

Private Sub Workbook_Open()
    Dim logPath As String
    Dim f As Integer
    logPath = Environ("SPC_MACRO_LOG")
    If logPath <> "" Then
        f = FreeFile
        Open logPath For Append As #f
        Print #f, "Workbook_Open"
        Close #f
    End If
    ThisWorkbook.Worksheets(1).Range("A2").Value = "Workbook_Open ran"
End Sub
"""

SHEET1 = """Option Explicit
"""

REGISTRY = """<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry"
           xmlns:xs="http://www.w3.org/2001/XMLSchema"
           xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Filter/Import/VBA"><prop oor:name="UseExport" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Filter/Import/VBA"><prop oor:name="Load" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Filter/Import/VBA"><prop oor:name="Executable" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Filter/Import/VBA"><prop oor:name="Save" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
"""


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def start_office(workdir):
    profile = workdir / "profile"
    (profile / "user").mkdir(parents=True, exist_ok=True)
    (profile / "user" / "registrymodifications.xcu").write_text(REGISTRY)
    pipe = "spc_make_fixtures_%d" % os.getpid()
    env = dict(os.environ)
    env["HOME"] = str(workdir)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    log = open(workdir / "soffice.log", "wb")
    proc = subprocess.Popen(
        [SOFFICE, "--headless", "--invisible", "--norestore", "--nologo",
         "--nodefault", "--nolockcheck",
         "-env:UserInstallation=" + profile.as_uri(),
         "--accept=pipe,name=%s;urp;" % pipe],
        env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
        start_new_session=True)
    return proc, pipe


def connect(proc, pipe):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + START_TIMEOUT
    while True:
        if proc.poll() is not None:
            raise RuntimeError("soffice exited with status %d" % proc.returncode)
        try:
            return resolver.resolve(
                "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
        except NoConnectException:
            if time.monotonic() > deadline:
                raise RuntimeError("soffice did not answer on its pipe")
            time.sleep(0.1)


def stop_office(proc, desktop):
    if desktop is not None:
        try:
            desktop.terminate()
        except Exception:  # the bridge goes down with the office
            pass
    try:
        proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()


def build(ctx, out_path):
    smgr = ctx.ServiceManager
    desktop = smgr.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
    doc = desktop.loadComponentFromURL(
        "private:factory/scalc", "_blank", 0, (prop("Hidden", True),))

    sheets = doc.Sheets
    while sheets.Count > 1:
        sheets.removeByName(sheets.ElementNames[-1])
    sheet = sheets.getByIndex(0)
    sheet.Name = "Sheet1"
    sheet.CodeName = "Sheet1"

    libraries = doc.BasicLibraries
    libraries.VBACompatibilityMode = True
    libraries.ProjectName = "VBAProject"
    if libraries.hasByName("VBAProject"):
        library = libraries.getByName("VBAProject")
    else:
        library = libraries.createLibrary("VBAProject")

    def add_module(name, source, module_type, owner=None):
        info = ModuleInfo()
        info.ModuleType = module_type
        if owner is not None:
            info.ModuleObject = owner
        library.insertModuleInfo(name, info)
        library.insertByName(name, "Option VBASupport 1\n" + source)

    add_module("Module1", MODULE1, NORMAL_MODULE)
    add_module("ThisWorkbook", THIS_WORKBOOK, DOCUMENT_MODULE, doc)
    add_module("Sheet1", SHEET1, DOCUMENT_MODULE, sheet)

    doc.storeToURL(pathlib.Path(out_path).resolve().as_uri(),
                   (prop("FilterName", "MS Excel 97"), prop("Overwrite", True)))
    doc.close(True)
    return desktop


def main():
    if len(sys.argv) != 3:
        print("usage: make_base_workbook.py OUT.xls WORKDIR", file=sys.stderr)
        return 2
    # Stopped from outside: leave through the finally below, which ends the
    # office, rather than leaving it behind.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    out_path = pathlib.Path(sys.argv[1])
    workdir = pathlib.Path(sys.argv[2]).resolve()
    workdir.mkdir(parents=True, exist_ok=True)
    proc, pipe = start_office(workdir)
    desktop = None
    try:
        ctx = connect(proc, pipe)
        desktop = build(ctx, out_path)
    finally:
        stop_office(proc, desktop)
    if not out_path.is_file():
        print("the office wrote no workbook", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
