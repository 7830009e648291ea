// LINES: the demo's INTEG grid. Catalogue it beside DEMO (OvEngSetup --catalog
// "ACCOUNT,LINES,JavaScript,lines.js LINES") and type LINES at the TCL prompt of a VBGUI
// session.
//
// The client edits a row of an INTEG grid in a dialog: it announces the row ("4|M|row"), the
// program puts the cursor on the row's first cell, and the client answers with each cell's
// value in turn, the last one typed by the user. The program stores the row and ends the
// dialog with "<ACTIONCODE>". X leaves the screen.
//
// Its data is one item of the account's file DEMOLINES, made on first use: the products,
// descriptions and quantities of the lines as values.

function Read() {
  var line = Ref("");
  IInput(line);
  if (line.value === "<&PORT_DISCONNECT>") throw "stop";
  return line.value;
}

function Show(markup) {
  CRT(markup + "</TX>", false);
}

function Lines() {
  var f = Ref("");
  if (!OOpen("DEMOLINES", f)) {
    ExecutePS("CREATE-FILE DEMOLINES 3");
    OOpen("DEMOLINES", f);
    WWrite("P1\xFDP2\xFE" + "Bolt\xFDNut\xFE" + "5\xFD" + "7", f.value, "L1");
  }
  var item = Ref("");
  RRead(item, f.value, "L1");
  return {file: f.value, item: item.value};
}

function Form(item) {
  var fill = "";
  for (var n = 1; n <= DCount(Extract(item, 1), "\xFD"); ++n) {
    fill += "<DATA>" + Extract(item, 1, n) + "\\" + Extract(item, 2, n) + "\\" +
            Extract(item, 3, n) + "\r\n";
  }
  Show("<FORM TYPE=FUNCTION><PROGRAM NAME=LINES><FORMHEADER>Lines,Order lines,DEMO" +
       "<POSITION TOP=3 LEFT=2>Lines of L1" +
       "<GRID ACTION=4 TOP=5 HEIGHT=6 TYPE=INTEG>\r\n" +
       "<COLUMN WIDTH=8>Product\r\n<COLUMN WIDTH=20>Description\r\n" +
       "<COLUMN WIDTH=6 ALIGN=RIGHT>Qty\r\n" +
       "<GRIDFILL>\r\n" + fill + "</GRIDFILL>\r\n<ACTIONCODE>");
}

function LINES() {
  try {
    var lines = Lines();
    var item = lines.item;
    Form(item);
    for (;;) {
      var reply = Read();
      if (reply.toUpperCase() === "X" || reply.toUpperCase() === "Q") return;
      var row = Number(Field(reply, "|", 3));
      if (Field(reply, "|", 1) !== "4" || Field(reply, "|", 2) !== "M" || !(row >= 1)) {
        Show("<ACTIONCODE>");
        continue;
      }
      // The row dialog: each cell's value, in turn, after the cursor is put on it.
      var value = "";
      for (var col = 1; col <= 3; ++col) {
        Show("<GRIDCELL COL=" + col + " ROW=" + row + ">" + Extract(item, col, row));
        value = Read();
        item = RReplace(item, col, row, value);
      }
      if (!WWrite(item, lines.file, "L1")) {
        // Not stored: the box says why (without angle brackets, which it would read as
        // markup), and the grid shows the lines as they are stored.
        Show("<MSGBOX TYPE=ERROR>The line was not stored: " +
             String(ErrorDetail).replace(/[<>]/g, " "));
        Read();
        item = Lines().item;
        Form(item);
        continue;
      }
      Show("<GRIDCELL COL=3 ROW=" + row + ">" + value + "<ACTIONCODE>");
    }
  } catch (e) {
    if (e !== "stop") throw e;
  }
}
