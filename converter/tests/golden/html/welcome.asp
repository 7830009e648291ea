Response.Write "<html>"
Response.Write "<BODY BGCOLOR=""#FFFFFF"" onLoad=""start()"">" & vbCrLf
Response.Write "" & vbCrLf
Response.Write "<!-- top banner -->" & vbCrLf
Response.Write "<h1 align=""center"">Order desk</h1>" & vbCrLf
Response.Write "<p>Choose an item," & vbCrLf
Response.Write " enter the quantity and press ""Order"".</p>" & vbCrLf
Response.Write "<table border=""0"">" & vbCrLf
Response.Write "<tr>" & vbCrLf
Response.Write "<td width=""120"">Item</td>" & vbCrLf
Response.Write "<td width=""60"">Qty</td>" & vbCrLf
Response.Write "</tr>" & vbCrLf
Response.Write "</table>" & vbCrLf
Response.Write "<p>&nbsp;&nbsp;" & vbCrLf
Response.Write "&nbsp;&nbsp;Prices include tax, delivery is free for orders over 100.</p>" & vbCrLf
Response.Write "<p>Contact: sales," & vbCrLf
Response.Write " support," & vbCrLf
Response.Write " accounts," & vbCrLf
Response.Write " shipping," & vbCrLf
Response.Write " returns and the helpdesk.</p>" & vbCrLf
Response.Write "</BODY>" & vbCrLf
Response.Write "</html>" & vbCrLf
Response.Write ""
