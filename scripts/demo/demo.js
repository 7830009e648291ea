// DEMO: the demo application of the screen client (OvEngLink). Catalogue it as a JavaScript
// program (OvEngSetup --catalog "ACCOUNT,DEMO,JavaScript,demo.js DEMO") and type DEMO at the
// TCL prompt of a session whose terminal type is VBGUI, the client's.
//
// It speaks the client's markup: a menu, a data-entry form whose fields are changed by
// action code, a GUIPLUS grid whose cells are sent one by one, message boxes of every type,
// a popup, a search list, a nomination screen that opens the nominated customer as an
// update of the same form, and a sub-form over the menu. Every screen ends with "</TX>"; a
// form that waits for the user's next action code says so with "<ACTIONCODE>". The client answers a menu with the item's code, a field
// with its action code and then its value, a GUIPLUS cell with "code|column|row|value", a
// box with Enter or Y/N, a search with the picked key (Q when cancelled), a nomination with
// the nominated value alone. X leaves a form; LO, the menu's LogOff, logs off.
//
// Its data lives in files of the account, made on first use: DEMOCUST (customers: name,
// credit limit), DEMONOTE (a customer's notes), DEMOORD (orders: the customer, then the
// lines' products, descriptions and quantities as values) and DEMOLOG, whose items CHOICE1,
// CHOICE2 ... keep the choices the menu loop received in turn, BOXES the replies to the
// message boxes (TYPE:reply, one a box, joined by commas) and NOMINATED the customers
// nominated (joined by commas), so that what reached the program can be read back.

var CRLF = "\r\n";

// A line typed by the client. A session that is told to stop ends the program.
function Read() {
  var line = Ref("");
  IInput(line);
  if (line.value === "<&PORT_DISCONNECT>") throw "stop";
  return line.value;
}

function Show(markup) {
  CRT(markup + "</TX>", false);
}

// Shows an error box and waits for the client's acknowledgement (Enter).
function ErrorBox(text) {
  Show("<MSGBOX TYPE=ERROR>" + text);
  Read();
}

function Setup() {
  var f = Ref("");
  if (!OOpen("DEMOCUST", f)) {
    ExecutePS("CREATE-FILE DEMOCUST 2");
    OOpen("DEMOCUST", f);
    WWrite("Acme Ltd\xFE" + "5000", f.value, "C100");
    WWrite("Bolt & Co\xFE" + "1200", f.value, "C200");
  }
  if (!OOpen("DEMOORD", f)) {
    ExecutePS("CREATE-FILE DEMOORD 4");
    OOpen("DEMOORD", f);
    WWrite("C100\xFEP1\xFDP2\xFEWidget\xFDGadget\xFE" + "4\xFD" + "10", f.value, "O1");
  }
  if (!OOpen("DEMOLOG", f)) ExecutePS("CREATE-FILE DEMOLOG 1");
  if (!OOpen("DEMONOTE", f)) ExecutePS("CREATE-FILE DEMONOTE 1");
}

var choicesReceived = 0;

function RecordChoice(choice) {
  choicesReceived += 1;
  WriteItem("DEMOLOG", "CHOICE" + choicesReceived, choice);
}

function ReadItem(file, id) {
  var f = Ref("");
  var item = Ref("");
  if (!OOpen(file, f) || !RRead(item, f.value, id)) return null;
  return item.value;
}

function WriteItem(file, id, item) {
  var f = Ref("");
  return OOpen(file, f) && WWrite(item, f.value, id);
}

// Writes a value the user changed; when the engine does not store it (another user holds the
// item, the value would not fit the item), an error box says so, with the engine's reason, and
// the answer is false: the screen then shows what is stored, never a value that is not.
function StoreOrSay(file, id, item, what) {
  if (WriteItem(file, id, item)) return true;
  // The reason without angle brackets, which the box would read as markup.
  ErrorBox(what + " was not stored: " + String(ErrorDetail).replace(/[<>]/g, " "));
  return false;
}

function IsNumber(text) {
  return /^[0-9]+(\.[0-9]+)?$/.test(text);
}

function HoldsMarkup(text) {
  return /[<>]/.test(text);
}

// --- The menu ---------------------------------------------------------------------------

function Menu() {
  Show("<FORM TYPE=MENU STYLE=mdefault><PROGRAM NAME=DEMO>" +
       "<FORMHEADER>Orvik,Demo application,DEMO" +
       "<L TOP=3 LEFT=20>Main menu" +
       "<C ACTION=1>Customer details" +
       "<C ACTION=2>Order lines" +
       "<C ACTION=3>Message boxes" +
       "<C ACTION=4>Popup" +
       "<C ACTION=5>Find a customer" +
       "<C ACTION=6>Products (INTEG grid)" +
       "<C ACTION=7>Update a customer" +
       "<C ACTION=8>Customer notes (sub-form)" +
       "<C ACTION=9>Leave the demo" +
       "<ALT_SELECT>Your choice");
  return Read();
}

// --- Customer details: a form whose fields change by action code -------------------------

// The fields of a customer form: the line of each action code's entry, the attribute of the
// item it holds, and whether that is a number (the credit limit).
var kCustomerFields = {"2": {top: 5, attribute: 1}, "3": {top: 6, attribute: 2, number: true}};

function CustomerForm(id) {
  var item = ReadItem("DEMOCUST", id);
  if (item === null) {
    ErrorBox("No customer " + id + ".");
    return Menu();
  }
  Show("<FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=CUSTOMER>" +
       "<FORMHEADER>Customer,Details,DEMO" +
       "<POSITION TOP=4 LEFT=2>Customer no" +
       "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=8 MAXLENGTH=8 ENABLED=FALSE>" + id +
       "<POSITION TOP=5 LEFT=2>Name" +
       "<POSITION TOP=5 LEFT=20 ACTION=2><TEXTBOX WIDTH=30 MAXLENGTH=30>" + Extract(item, 1) +
       "<POSITION TOP=6 LEFT=2>Credit limit" +
       "<POSITION TOP=6 LEFT=20 ACTION=3><TEXTBOX WIDTH=10 ALIGNMENT=RIGHT>" +
       Extract(item, 2) + "<ACTIONCODE>");
  EditFields("DEMOCUST", id, item, kCustomerFields);
  return Menu();
}

// The conversation of a form whose entries are changed by action code: the code, then the
// entry's value, which is stored in attribute `attribute` of item `id` of `file`. Returns
// when the user leaves the form (X or Q).
function EditFields(file, id, item, fields) {
  for (;;) {
    var code = Read().toUpperCase();
    if (code === "X" || code === "Q") return;
    var field = fields[code];
    if (field === undefined) {
      ErrorBox("Action code " + code + " is not on this form.");
      Show("<ACTIONCODE>");
      continue;
    }
    var at = "<POSITION TOP=" + field.top + " LEFT=20>";
    Show(at);  // the cursor on the field: its value, please
    var value = Read();
    // A value with angle brackets, once stored, would be markup on the screens of everyone
    // who reads it.
    var refusal = "";
    if (HoldsMarkup(value)) {
      refusal = "A value may not hold angle brackets.";
    } else if (field.number && !IsNumber(value)) {
      refusal = "Credit limit must be a number.";
    }
    if (refusal !== "") {
      ErrorBox(refusal);
      Show(at + Extract(item, field.attribute) + "<ACTIONCODE>");
      continue;
    }
    var changed = RReplace(item, field.attribute, value);
    if (!StoreOrSay(file, id, changed, "The value")) {
      Show(at + Extract(item, field.attribute) + "<ACTIONCODE>");
      continue;
    }
    item = changed;
    Show(at + value + "<ACTIONCODE>");
  }
}

// --- Order lines: a GUIPLUS grid --------------------------------------------------------

function OrderGrid(id) {
  var order = ReadItem("DEMOORD", id);
  var fill = "";
  var lines = DCount(Extract(order, 2), "\xFD");
  for (var n = 1; n <= lines; ++n) {
    fill += "<DATA>" + Extract(order, 2, n) + "\\" + Extract(order, 3, n) + "\\" +
            Extract(order, 4, n) + CRLF;
  }
  Show("<FORM TYPE=FUNCTION GUIPLUS=TRUE><PROGRAM NAME=ORDERS>" +
       "<FORMHEADER>Orders,Order " + id + ",DEMO" +
       "<POSITION TOP=3 LEFT=2>Order lines of " + id + " for " + Extract(order, 1) +
       "<GRID ACTION=5 TOP=5 HEIGHT=8 TYPE=GUIPLUS>" + CRLF +
       "<COLUMN WIDTH=8 ETYPE=0>Product" + CRLF +
       "<COLUMN WIDTH=30 ETYPE=0>Description" + CRLF +
       "<COLUMN WIDTH=6 ALIGN=RIGHT>Qty" + CRLF +
       "<GRIDFILL>" + CRLF + fill + "</GRIDFILL>" + CRLF + "<ACTIONCODE>");
  for (;;) {
    var reply = Read();
    if (reply.toUpperCase() === "X" || reply.toUpperCase() === "Q") return Menu();
    // code|column|row|value
    var column = Field(reply, "|", 2);
    var row = Number(Field(reply, "|", 3));
    var value = Field(reply, "|", 4);
    var cell = "<GRIDCELL COL=" + column + " ROW=" + row + ">";
    if (Field(reply, "|", 1) !== "5" || column !== "3" || row < 1 || row > lines) {
      ErrorBox("Only the quantities of the order's lines can be changed.");
      Show("<ACTIONCODE>");
      continue;
    }
    if (!/^[0-9]+$/.test(value)) {
      ErrorBox("Quantity must be a whole number.");
      Show(cell + Extract(order, 4, row));
      continue;
    }
    var changed = RReplace(order, 4, row, value);
    if (!StoreOrSay("DEMOORD", id, changed, "The quantity")) {
      Show(cell + Extract(order, 4, row));
      continue;
    }
    order = changed;
    // The cell as stored, then the next quantity to edit.
    var next = row < lines ? "<GRIDCELL COL=3 ROW=" + (row + 1) + ">" : "";
    Show(cell + value + next);
  }
}

// --- Boxes, popups and the search list ---------------------------------------------------

// Every type of box the client knows, one after the other, each answered before the next:
// the replies are kept in DEMOLOG BOXES. A question last, then the menu again (a question
// straight after a question would be answered without an end of line).
var kBoxes = [
  ["INFO", "Orvik demo: an information box."],
  ["ERROR", "Orvik demo: an error box."],
  ["OKONLY", "Orvik demo: a box with OK only."],
  ["YESNO", "Orvik demo: did you see three boxes before this question?"],
];

function MessageBoxes() {
  var replies = "";
  for (var n = 0; n < kBoxes.length; ++n) {
    Show("<MSGBOX TYPE=" + kBoxes[n][0] + ">" + kBoxes[n][1]);
    replies += (n > 0 ? "," : "") + kBoxes[n][0] + ":" + Read();
  }
  WriteItem("DEMOLOG", "BOXES", replies);
  return Menu();
}

function PopupOnTheMenu() {
  Show("<POPUP SCREEN=BOX TOP=8 LEFT=20 WIDTH=40 HEIGHT=6>Orvik demo" +
       "<POSITION TOP=11 LEFT=22>A popup over the menu.<HR>" +
       "<POSITION TOP=13 LEFT=22>OK closes it.</POPUP>");
  return Read();
}

function FindCustomer() {
  var rows = "";
  var keys = ["C100", "C200"];
  for (var k = 0; k < keys.length; ++k) {
    rows += "<DATA>" + keys[k] + "\\" + Extract(ReadItem("DEMOCUST", keys[k]), 1);
  }
  Show("<FORM TYPE=SEARCH>Customers<COLUMN WIDTH=8>No<COLUMN WIDTH=30>Name" + rows);
  var picked = Read();
  if (picked === "" || picked.toUpperCase() === "Q") return Read();
  return CustomerForm(picked.toUpperCase());
}

// --- Update a customer: nominated by number, then opened as an update of the same form ---

// The update form's fields, one line below the customer form's.
var kUpdateFields = {"2": {top: 6, attribute: 1}, "3": {top: 7, attribute: 2, number: true}};

// The nomination screen: one entry, the customer number, with no action code: the client
// sends what is typed there as it is.
function NominateCustomer() {
  Show("<FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=CUSTUPDATE>" +
       "<FORMHEADER>Customer,Update,DEMO" +
       "<POSITION TOP=4 LEFT=2>Customer no" +
       "<POSITION TOP=4 LEFT=20><NOMINATE WIDTH=8 MAXLENGTH=8>" +
       "<POSITION TOP=10 LEFT=2>Type a customer number (C100, C200) and Enter; X leaves.");
  for (;;) {
    var id = Read().toUpperCase();
    if (id === "X" || id === "Q") return Menu();
    // What was typed goes back in the box only when it is a possible number.
    var plain = id.length <= 8 && !HoldsMarkup(id);
    var item = plain ? ReadItem("DEMOCUST", id) : null;
    if (item !== null) return UpdateCustomer(id, item);
    ErrorBox(plain ? "No customer " + id + "." : "No such customer.");
  }
}

// The nominated customer: the nomination entry shows the number and the name beside it, and
// the form grows the customer's fields, changed by action code as on the customer form.
function UpdateCustomer(id, item) {
  var nominated = ReadItem("DEMOLOG", "NOMINATED");
  WriteItem("DEMOLOG", "NOMINATED", (nominated ? nominated + "," : "") + id);
  Show("<FORM TYPE=UPDATE>" +
       "<POSITION TOP=4 LEFT=20 ACTION=0>" + id + "\\" + Extract(item, 1) +
       "<POSITION TOP=6 LEFT=2>Name" +
       "<POSITION TOP=6 LEFT=20 ACTION=2><TEXTBOX WIDTH=30 MAXLENGTH=30>" + Extract(item, 1) +
       "<POSITION TOP=7 LEFT=2>Credit limit" +
       "<POSITION TOP=7 LEFT=20 ACTION=3><TEXTBOX WIDTH=10 ALIGNMENT=RIGHT>" +
       Extract(item, 2) +
       "<POSITION TOP=10 LEFT=2>Alt+2 the name, Alt+3 the credit limit; X leaves." +
       "<ACTIONCODE>");
  EditFields("DEMOCUST", id, item, kUpdateFields);
  return Menu();
}

// --- Customer notes: a second screen form over the menu ------------------------------------

var kNotesFields = {"1": {top: 4, attribute: 1}};

function NotesSubform(id) {
  var item = ReadItem("DEMONOTE", id) || "";
  Show("<SUBFORM><FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=NOTES>" +
       "<FORMHEADER>Customer,Notes of " + id + ",DEMO" +
       "<POSITION TOP=4 LEFT=2>Notes" +
       "<POSITION TOP=4 LEFT=20 ACTION=1><TEXTBOX WIDTH=40 MAXLENGTH=60>" + Extract(item, 1) +
       "<ACTIONCODE>");
  EditFields("DEMONOTE", id, item, kNotesFields);
  // The sub-form closes; the menu under it takes the next choice.
  Show("</SUBFORM>");
  return Read();
}

// True when the user confirms.
function Leave() {
  Show("<MSGBOX TYPE=YESNO>Leave the demo?");
  return Read().toUpperCase() === "Y";
}

function DEMO() {
  try {
    Setup();
    var choice = Menu();
    for (;;) {
      RecordChoice(choice);
      if (choice === "1") {
        choice = CustomerForm("C100");
      } else if (choice === "2") {
        choice = OrderGrid("O1");
      } else if (choice === "3") {
        choice = MessageBoxes();
      } else if (choice === "4") {
        choice = PopupOnTheMenu();
      } else if (choice === "5") {
        choice = FindCustomer();
      } else if (choice === "6") {
        // scripts/demo/products.js: its grid, until X or Q or the session's end
        if (XRun("PRODUCTS") === "stop") throw "stop";
        choice = Menu();
      } else if (choice === "7") {
        choice = NominateCustomer();
      } else if (choice === "8") {
        choice = NotesSubform("C100");
      } else if (choice.toUpperCase() === "LO") {
        // The menu's LogOff (or Esc): the client shows its farewell box and closes, which
        // ends the session.
        Show("<APPOFF_OK>");
        return;
      } else if (choice === "9" || choice.toUpperCase() === "X" || choice.toUpperCase() === "Q") {
        if (Leave()) return;
        // The menu again: a second question straight after this one would be answered
        // without an end of line, as the client answers a question that follows a question.
        choice = Menu();
      } else {
        // Not an item of the menu: the menu again, which answers the client; it waits for an
        // answer to every choice and takes no other meanwhile.
        choice = Menu();
      }
    }
  } catch (e) {
    if (e !== "stop") throw e;
  }
}
