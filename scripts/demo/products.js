// PRODUCTS: the demo's INTEG grid over a file of items, one row per product. DEMO runs it
// from its menu (XRun); it also runs alone at the TCL prompt of a VBGUI session. Catalogue
// it beside DEMO (OvEngSetup --catalog "ACCOUNT,PRODUCTS,JavaScript,products.js PRODUCTS").
//
// The file DEMOPROD, made on first use, holds a product per item: its id is the item's key,
// attribute 1 its description, attribute 2 its price. The grid's rows are the items in key
// order; the program keeps the key of every row, in the grid's order, as the client edits it.
//
// The client speaks to the grid (action code 6) in three ways:
// - "6|M|row": a row's update. Its cells are then edited in turn, the program putting the
//   cursor on each and the client answering with the cell's value. The id is the program's:
//   the value sent for it is passed over. The last answer ends with "<ACTIONCODE>", after
//   which the item is stored. On the empty row under the last product, a new product.
// - "6|I|row": the insert key or button. Once answered, the client makes room for a row at
//   `row`; the program gives the new product its id and leads the dialog through the
//   description and the price. The item is stored when the dialog ends.
// - "6|D|row": the delete key or button. The item is deleted, and "<ACTIONCODE>" lets the
//   client take the row away; an error box instead keeps the row.
// X or Q leaves the grid. PRODUCTS answers "stop" when the session ended while it ran.

var PRODUCT_FILE = "DEMOPROD";

function ProductsRead() {
  var line = Ref("");
  IInput(line);
  if (line.value === "<&PORT_DISCONNECT>") throw "stop";
  return line.value;
}

function ProductsShow(markup) {
  CRT(markup + "</TX>", false);
}

// The file's variable; the file and its first products are made when it is missing.
function ProductFile() {
  var f = Ref("");
  if (!OOpen(PRODUCT_FILE, f)) {
    ExecutePS("CREATE-FILE " + PRODUCT_FILE + " 2");
    OOpen(PRODUCT_FILE, f);
    WWrite("Bolt\xFE" + "0.25", f.value, "P101");
    WWrite("Nut\xFE" + "0.10", f.value, "P102");
    WWrite("Washer\xFE" + "0.05", f.value, "P103");
  }
  return f.value;
}

// The ids of the products, in key order.
function ProductKeys() {
  var sentence = "SELECT A0 FROM " + PRODUCT_FILE + " ORDER BY A0";
  if (ExecutePS(sentence) === "ERROR") return [];  // no items: no rows
  var column = SelectArray[0];
  return column.slice(1);  // the first row holds the column's title
}

// The id for a new product: one past the highest number among the ids.
function NewProductKey(keys) {
  var highest = 100;
  for (var k = 0; k < keys.length; ++k) {
    var number = Number(String(keys[k]).substring(1));
    if (number > highest) highest = number;
  }
  return "P" + (highest + 1);
}

function Cell(column, row, text) {
  return "<GRIDCELL COL=" + column + " ROW=" + row + ">" + text;
}

function ProductsForm(file, keys) {
  var fill = "";
  for (var k = 0; k < keys.length; ++k) {
    var item = Ref("");
    RRead(item, file, keys[k]);
    fill += "<DATA>" + keys[k] + "\\" + Extract(item.value, 1) + "\\" + Extract(item.value, 2) +
            "\r\n";
  }
  ProductsShow("<FORM TYPE=FUNCTION><PROGRAM NAME=PRODUCTS>" +
               "<FORMHEADER>Products,Product list,DEMO" +
               "<POSITION TOP=3 LEFT=2>Products of " + PRODUCT_FILE +
               "<GRID ACTION=6 TOP=5 HEIGHT=10 TYPE=INTEG>\r\n" +
               "<COLUMN WIDTH=8>Product\r\n<COLUMN WIDTH=30>Description\r\n" +
               "<COLUMN WIDTH=10 ALIGN=RIGHT>Price\r\n" +
               "<GRIDFILL>\r\n" + fill + "</GRIDFILL>\r\n<ACTIONCODE>");
}

// An error box, acknowledged by the client with Enter.
function ProductsError(text) {
  ProductsShow("<MSGBOX TYPE=ERROR>" + text);
  ProductsRead();
}

// The rest of a row's dialog from its description on, the cursor already on it: the item
// as the user left it, stored, and the dialog ended. False when the item was not stored (an
// error box has said why).
function DescriptionAndPrice(file, key, item, row) {
  for (;;) {
    var description = ProductsRead();
    // Markup, the grid's cell delimiter or a mark would be taken for part of the screen or
    // of the item's structure wherever the description is shown or read again.
    if (!/[<>\\\xFC-\xFE]/.test(description)) {
      item = RReplace(item, 1, description);
      break;
    }
    ProductsError("A description may not hold angle brackets, backslashes or marks.");
    ProductsShow(Cell(2, row, Extract(item, 1)));
  }
  var price = Extract(item, 2);
  // The description as stored, then the cursor on the price.
  ProductsShow(Cell(2, row, Extract(item, 1)) + Cell(3, row, price));
  for (;;) {
    var typed = ProductsRead();
    if (/^[0-9]+(\.[0-9]+)?$/.test(typed)) {
      price = typed;
      break;
    }
    ProductsError("Price must be a number.");
    ProductsShow(Cell(3, row, price));
  }
  item = RReplace(item, 2, price);
  if (!WWrite(item, file, key)) {
    // The reason without angle brackets, which the box would read as markup.
    ProductsError("Product " + key + " was not stored: " +
                  String(ErrorDetail).replace(/[<>]/g, " "));
    return false;
  }
  ProductsShow(Cell(3, row, price) + "<ACTIONCODE>");
  return true;
}

// The grid again as the file holds it, after a row that was not stored.
function ShowStored(file, keys) {
  var stored = ProductKeys();
  keys.length = 0;
  for (var k = 0; k < stored.length; ++k) keys.push(stored[k]);
  ProductsForm(file, keys);
}

// A new product on `row`: the id is shown and the cursor goes to the description.
function NewProduct(file, keys, row) {
  // Another session may have added products since the grid was filled.
  var key = NewProductKey(keys.concat(ProductKeys()));
  keys.splice(row - 1, 0, key);
  ProductsShow(Cell(1, row, key) + Cell(2, row, ""));
  if (!DescriptionAndPrice(file, key, "\xFE", row)) ShowStored(file, keys);
}

function UpdateProduct(file, keys, row) {
  var key = keys[row - 1];
  var item = Ref("");
  RRead(item, file, key);
  ProductsShow(Cell(1, row, key));
  ProductsRead();  // the id's cell: not the user's to change
  ProductsShow(Cell(1, row, key) + Cell(2, row, Extract(item.value, 1)));
  if (!DescriptionAndPrice(file, key, item.value, row)) ShowStored(file, keys);
}

function DeleteProduct(file, keys, row) {
  if (!Delete(file, keys[row - 1])) {
    ProductsError("Product " + keys[row - 1] + " could not be deleted.");
    ProductsShow("<ACTIONCODE>");
    return;
  }
  keys.splice(row - 1, 1);
  ProductsShow("<ACTIONCODE>");
}

function PRODUCTS() {
  try {
    var file = ProductFile();
    var keys = ProductKeys();
    ProductsForm(file, keys);
    for (;;) {
      var reply = ProductsRead();
      var word = reply.toUpperCase();
      if (word === "X" || word === "Q") return;
      var operation = Field(reply, "|", 2).toUpperCase();
      var row = Number(Field(reply, "|", 3));
      var onProduct = row >= 1 && row <= keys.length;
      if (Field(reply, "|", 1) !== "6" || !(row >= 1 && row <= keys.length + 1)) {
        ProductsShow("<ACTIONCODE>");
      } else if (operation === "I" || (operation === "M" && !onProduct)) {
        NewProduct(file, keys, row);
      } else if (operation === "M") {
        UpdateProduct(file, keys, row);
      } else if (operation === "D" && onProduct) {
        DeleteProduct(file, keys, row);
      } else if (operation === "D") {
        ProductsError("There is no product on row " + row + ".");
        ProductsShow("<ACTIONCODE>");
      } else {
        ProductsShow("<ACTIONCODE>");
      }
    }
  } catch (e) {
    if (e !== "stop") throw e;
    return "stop";  // a caller waiting for input next would wait in vain
  }
}
