Response.Write "<html>"
Response.Write "<body>" & vbCrLf
Response.Write "<form name=""order"" onSubmit=""return check(this)"">" & vbCrLf
Response.Write "<script>" & vbCrLf
Response.Write "var labels = [""Item"", ""Quantity"", ""Price"", ""Total"", ""Delivery"", ""Notes""];" & vbCrLf
Response.Write "</script>" & vbCrLf
Response.Write "<p>Enter the quantity of each item you wish to order in the boxes below.</p>" & vbCrLf
Response.Write "<input type=""text"" name=""qty"" size=""5"">" & vbCrLf
Response.Write "<input type=""submit"" value=""Order"">" & vbCrLf
Response.Write "<input type=""reset"">" & vbCrLf
Response.Write "<p>Fifty-three characters, kept whole: 123456789.</p>" & vbCrLf
Response.Write "<p>Fifty-four characters," & vbCrLf
Response.Write " broken at the comma: 12.</p>" & vbCrLf
Response.Write "</form>" & vbCrLf
Response.Write "</body></html>" & vbCrLf
Response.Write ""
